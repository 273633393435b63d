#pragma once
// A registry that tells a journal what each change is about to do before it makes it: the keys a
// creation makes, and a value's state before a write or delete with what is written. A change
// that the journal cannot take is not made, so the journal never misses what a run did. It sits
// right above the machine's registry, below any mapping of roots, and so names the places as the
// machine has them.

#include <map>
#include <string>
#include <vector>

#include "engine/RunObserver.h"
#include "platform/ForwardingRegistry.h"

class RegistryJournal {
public:
    virtual ~RegistryJournal() = default;
    // 0, or the Windows error code that refuses the change (the journal could not be written).
    virtual int32_t KeysCreating(int32_t root, uint32_t view,
                                 const std::vector<std::string>& keys) = 0;
    // change.after not present: the value is deleted.
    virtual int32_t ValueChanging(const RegistryChange& change) = 0;
};

class JournalingRegistry final : public ForwardingRegistry {
public:
    JournalingRegistry(Registry& inner, RegistryJournal& journal)
        : ForwardingRegistry(inner), journal_(journal) {}

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    // Refused: a deleted key with what was below it could not be put back.
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override;
    int32_t CloseKey(RegKey key) override;

private:
    // Where a key is: below one of the predefined roots.
    struct OpenedKey {
        int32_t root = 0;
        std::string subKey;
        uint32_t view = 0;
    };
    // False when the key is below no predefined root that the journal could name.
    bool PlaceOf(RegKey root, const std::string& subKey, uint32_t access, OpenedKey& place) const;
    int32_t Changing(RegKey key, const std::string& name, const RegistryData& after);

    RegistryJournal& journal_;
    std::map<RegKey, OpenedKey> keys_;
};
