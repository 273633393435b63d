#pragma once
// An in-memory registry that behaves like advapi32 as the product's paths use it (the registry
// contract holds it to the real thing). Posing as a 32-bit program (wow64Process),
// HKEY_LOCAL_MACHINE\Software opened without the 64-bit view flag is the view below Wow6432Node.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

class RegistryDouble final : public Registry {
public:
    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override;
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override;
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override;
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override;
    int32_t CloseKey(RegKey key) override;
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override;

    void SetEnvironment(const std::string& name, const std::string& value);

    bool wow64Process = false;
    // Keys that CreateKey, and OpenKey for changes, refuse with the code, as an access list
    // refuses a key that only TrustedInstaller may change (full path as stored: root name, sub
    // keys upper case).
    std::map<std::string, int32_t> deniedKeys;

    struct StoredValue {
        std::string name;  // as first written
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    // What is stored; the path is full, root name first ("HKEY_CURRENT_USER\Software\X").
    std::optional<StoredValue> Stored(const std::string& fullPath, const std::string& name) const;
    // Every key with its values, one line each, to compare whole states.
    std::string Dump() const;
    // Moves a key with everything below it to another full path, as loading and unloading a hive
    // does; false when there is none or the place is taken.
    bool MoveTree(const std::string& from, const std::string& to);

private:
    struct Handle {
        std::string path;  // as stored: the root's name and the folded sub keys
        uint32_t access = 0;
    };
    int32_t Resolve(RegKey root, const std::string& subKey, std::string& path,
                    uint32_t needed = 0) const;
    int32_t Lookup(RegKey key, uint32_t needed, std::string& path) const;
    int32_t NewHandle(const std::string& path, uint32_t access, RegKey& key);
    void View(RegKey root, uint32_t access, std::string& path) const;
    void Spell(const std::string& subKey, const std::string& path);

    // Every key by its path, with its values by folded name.
    std::map<std::string, std::map<std::string, StoredValue>> keys_;
    std::map<std::string, std::string> spelled_;  // a key's own name as first written, by path
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 0x1000;
    std::map<std::string, std::string> environment_;  // folded name -> value
};
