#pragma once
// A registry that passes every call on and notes what one registry action does to the machine:
// the value's state before the write and after it, and the keys the write had to make. The
// registry runner puts it between cRegistry and the registry when someone watches the run.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/RunObserver.h"
#include "platform/ForwardingRegistry.h"

class RegistryTap final : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;

    // Forgets the previous action; what follows belongs to the next one.
    void Begin();
    // What the action did since Begin, when it reached the registry.
    std::optional<RegistryChange> Take();

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t CloseKey(RegKey key) override;

    // A value as stored under an open key; absent when it cannot be read.
    static RegistryData Read(Registry& registry, RegKey key, const std::string& name);
    // The same, with why it could not be read in error: 0 when it was, or is not there.
    static RegistryData Read(Registry& registry, RegKey key, const std::string& name,
                             int32_t& error);
    // The value's name as the key holds it, which may differ from name in letter case; name
    // itself when no value of the key has it.
    static std::string StoredName(Registry& registry, RegKey key, const std::string& name);
    // The keys of the path that creating it would make, outermost first.
    static std::vector<std::string> MissingKeys(Registry& registry, RegKey root,
                                                const std::string& subKey, uint32_t view);
    // A key path as the records name it: without final backslashes.
    static std::string KeyPath(std::string path);
    static constexpr uint32_t kViewFlags = reg::kWow64_64Key | reg::kWow64_32Key;

private:
    struct OpenedKey {
        int32_t root = 0;
        std::string subKey;
        uint32_t view = 0;
    };

    RegistryChange Describe(RegKey key, const std::string& name);

    std::map<RegKey, OpenedKey> keys_;
    std::vector<std::string> created_;
    std::optional<RegistryChange> change_;
};
