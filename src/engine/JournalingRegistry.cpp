#include "engine/JournalingRegistry.h"

#include "engine/RegistryTap.h"

namespace {

bool IsPredefined(RegKey key) {
    const auto handle = static_cast<int32_t>(static_cast<intptr_t>(key));
    return reg::RootKey(handle) == key && handle >= reg::kClassesRoot &&
           handle <= reg::kCurrentConfig;
}

}  // namespace

bool JournalingRegistry::PlaceOf(RegKey root, const std::string& subKey, uint32_t access,
                                 OpenedKey& place) const {
    const std::string below = RegistryTap::KeyPath(subKey);
    place.view = access & RegistryTap::kViewFlags;
    if (IsPredefined(root)) {
        place.root = static_cast<int32_t>(static_cast<intptr_t>(root));
        place.subKey = below;
        return true;
    }
    const auto opened = keys_.find(root);
    if (opened == keys_.end()) return false;
    place.root = opened->second.root;
    place.subKey = opened->second.subKey.empty() || below.empty()
                       ? opened->second.subKey + below
                       : opened->second.subKey + "\\" + below;
    return true;
}

int32_t JournalingRegistry::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                                    RegKey& key) {
    OpenedKey place;
    const bool known = PlaceOf(root, subKey, access, place);
    const int32_t result = inner_.OpenKey(root, subKey, access, key);
    if (result == reg::kSuccess && known) keys_[key] = place;
    return result;
}

int32_t JournalingRegistry::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                      RegKey& key) {
    key = 0;
    OpenedKey place;
    if (!PlaceOf(root, subKey, access, place)) return reg::kInvalidHandle;
    const std::vector<std::string> missing =
        RegistryTap::MissingKeys(inner_, reg::RootKey(place.root), place.subKey, place.view);
    if (!missing.empty()) {
        if (const int32_t refused = journal_.KeysCreating(place.root, place.view, missing)) {
            return refused;
        }
    }
    const int32_t result = inner_.CreateKey(root, subKey, access, key);
    if (result == reg::kSuccess) keys_[key] = place;
    return result;
}

int32_t JournalingRegistry::Changing(RegKey key, const std::string& name,
                                     const RegistryData& after) {
    const auto opened = keys_.find(key);
    if (opened == keys_.end()) return reg::kInvalidHandle;
    RegistryChange change;
    change.root = opened->second.root;
    change.subKey = opened->second.subKey;
    change.view = opened->second.view;
    // A state that cannot be read is not journaled as absent: undo would delete the value.
    int32_t unread = 0;
    change.before = RegistryTap::Read(inner_, key, name, unread);
    if (unread != 0) return unread;
    // Undo puts a value back under the name it had, whatever the catalogue's letter case, and
    // text with the very bytes it had.
    change.valueName = change.before.present ? RegistryTap::StoredName(inner_, key, name) : name;
    if (change.before.present && reg::IsTextType(change.before.type)) {
        uint32_t type = 0;
        if (const int32_t failed = inner_.QueryStored(key, name, type, change.storedBefore)) {
            return failed;
        }
    }
    change.after = after;
    return journal_.ValueChanging(change);
}

int32_t JournalingRegistry::SetValue(RegKey key, const std::string& name, uint32_t type,
                                     const uint8_t* data, uint32_t size) {
    const RegistryData after{true, type, std::vector<uint8_t>(data, data + size)};
    if (const int32_t refused = Changing(key, name, after)) return refused;
    return inner_.SetValue(key, name, type, data, size);
}

int32_t JournalingRegistry::DeleteValue(RegKey key, const std::string& name) {
    // A value that is not there is not deleted: nothing to take back.
    int32_t unread = 0;
    const bool present = RegistryTap::Read(inner_, key, name, unread).present;
    if (unread != 0) return unread;
    if (present) {
        if (const int32_t refused = Changing(key, name, {})) return refused;
    }
    return inner_.DeleteValue(key, name);
}

int32_t JournalingRegistry::DeleteKey(RegKey, const std::string&, uint32_t) {
    return reg::kAccessDenied;
}

int32_t JournalingRegistry::CloseKey(RegKey key) {
    keys_.erase(key);
    return inner_.CloseKey(key);
}
