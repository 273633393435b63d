#pragma once
// A registry that passes every call on to another one: the base of the registries that sit in
// front of the machine's, each overriding only the calls it has something to do with.

#include "platform/Registry.h"

class ForwardingRegistry : public Registry {
public:
    explicit ForwardingRegistry(Registry& inner) : inner_(inner) {}

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override {
        return inner_.OpenKey(root, subKey, access, key);
    }
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override {
        return inner_.CreateKey(root, subKey, access, key);
    }
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override {
        return inner_.QueryValue(key, name, type, data, size);
    }
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override {
        return inner_.SetValue(key, name, type, data, size);
    }
    int32_t DeleteValue(RegKey key, const std::string& name) override {
        return inner_.DeleteValue(key, name);
    }
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override {
        return inner_.DeleteKey(root, subKey, view);
    }
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override {
        return inner_.EnumKey(key, index, name, size);
    }
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override {
        return inner_.QueryInfoKey(key, maxValueNameLength);
    }
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override {
        return inner_.EnumValue(key, index, name, nameLength);
    }
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override {
        return inner_.ConnectRegistry(machine, root, key);
    }
    int32_t CloseKey(RegKey key) override { return inner_.CloseKey(key); }
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override {
        return inner_.ExpandEnvironment(source, buffer, size);
    }
    int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) override {
        return inner_.QueryStored(key, name, type, data);
    }
    int32_t SetStored(RegKey key, const std::string& name, uint32_t type,
                      const std::vector<uint8_t>& data) override {
        return inner_.SetStored(key, name, type, data);
    }

protected:
    Registry& inner_;
};
