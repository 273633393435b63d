#include "engine/RegistryTap.h"

#include "catalogue/Codes.h"

std::string RegistryTap::KeyPath(std::string path) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

void RegistryTap::Begin() {
    created_.clear();
    change_.reset();
}

std::optional<RegistryChange> RegistryTap::Take() {
    std::optional<RegistryChange> change = std::move(change_);
    Begin();
    return change;
}

RegistryData RegistryTap::Read(Registry& registry, RegKey key, const std::string& name) {
    int32_t error = 0;
    return Read(registry, key, name, error);
}

RegistryData RegistryTap::Read(Registry& registry, RegKey key, const std::string& name,
                               int32_t& error) {
    RegistryData value;
    uint32_t type = 0;
    uint32_t size = 0;
    int32_t result = registry.QueryValue(key, name, type, nullptr, size);
    error = 0;
    if (result != reg::kSuccess && result != reg::kMoreData) {
        if (result != reg::kFileNotFound) error = result;
        return value;
    }
    value.data.resize(size);
    if (size != 0) {
        result = registry.QueryValue(key, name, type, value.data.data(), size);
        if (result != reg::kSuccess) {
            error = result;
            return {};
        }
        value.data.resize(size);
    }
    value.present = true;
    value.type = type;
    return value;
}

std::string RegistryTap::StoredName(Registry& registry, RegKey key, const std::string& name) {
    uint32_t longest = 0;
    if (registry.QueryInfoKey(key, longest) != reg::kSuccess) return name;
    std::vector<char> buffer(longest + 1);
    const std::string wanted = codes::UpperAscii(name);
    for (uint32_t index = 0;; ++index) {
        uint32_t length = static_cast<uint32_t>(buffer.size());
        if (registry.EnumValue(key, index, buffer.data(), length) != reg::kSuccess) return name;
        std::string stored(buffer.data(), length);
        if (codes::UpperAscii(stored) == wanted) return stored;
    }
}

std::vector<std::string> RegistryTap::MissingKeys(Registry& registry, RegKey root,
                                                  const std::string& subKey, uint32_t view) {
    // Each key of the path in turn, outermost first: from the first that is not there on, every
    // one is made by the write.
    std::vector<std::string> missing;
    for (size_t end = subKey.find('\\');; end = subKey.find('\\', end + 1)) {
        const std::string path = subKey.substr(0, end);
        if (!path.empty() && path.back() != '\\') {
            if (missing.empty()) {
                OwnedKey key(reg::OpenedKey{&registry});
                const int32_t result =
                    registry.OpenKey(root, path, reg::kQueryValue | view, *key.Put());
                if (result == reg::kFileNotFound) missing.push_back(path);
            } else {
                missing.push_back(path);
            }
        }
        if (end == std::string::npos) break;
    }
    return missing;
}

RegistryChange RegistryTap::Describe(RegKey key, const std::string& name) {
    RegistryChange change;
    if (const auto opened = keys_.find(key); opened != keys_.end()) {
        change.root = opened->second.root;
        change.subKey = opened->second.subKey;
        change.view = opened->second.view;
    }
    change.valueName = name;
    change.before = Read(inner_, key, name);
    change.after = change.before;
    change.createdKeys = created_;
    return change;
}

int32_t RegistryTap::OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) {
    const int32_t result = inner_.OpenKey(root, subKey, access, key);
    if (result == reg::kSuccess) {
        keys_[key] = {static_cast<int32_t>(root), KeyPath(subKey), access & kViewFlags};
    }
    return result;
}

int32_t RegistryTap::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                               RegKey& key) {
    std::vector<std::string> missing = MissingKeys(inner_, root, subKey, access & kViewFlags);
    const int32_t result = inner_.CreateKey(root, subKey, access, key);
    if (result != reg::kSuccess) return result;
    keys_[key] = {static_cast<int32_t>(root), KeyPath(subKey), access & kViewFlags};
    if (!missing.empty()) {
        // Keys made count as a change even when no value is written after them.
        created_ = std::move(missing);
        RegistryChange change;
        change.root = static_cast<int32_t>(root);
        change.subKey = keys_[key].subKey;
        change.view = keys_[key].view;
        change.createdKeys = created_;
        change_ = std::move(change);
    }
    return result;
}

int32_t RegistryTap::SetValue(RegKey key, const std::string& name, uint32_t type,
                              const uint8_t* data, uint32_t size) {
    RegistryChange change = Describe(key, name);
    uint32_t storedType = 0;
    std::vector<uint8_t> stored;
    if (change.before.present && change.before.type == type && reg::IsTextType(type) &&
        inner_.QueryStored(key, name, storedType, stored) == reg::kSuccess) {
        change.bytesChange = stored != utf8::ToUtf16Bytes(data, size);
    }
    const int32_t result = inner_.SetValue(key, name, type, data, size);
    if (result == reg::kSuccess) {
        change.after = {true, type, std::vector<uint8_t>(data, data + size)};
        change_ = std::move(change);
    }
    return result;
}

int32_t RegistryTap::DeleteValue(RegKey key, const std::string& name) {
    RegistryChange change = Describe(key, name);
    const int32_t result = inner_.DeleteValue(key, name);
    if (result == reg::kSuccess) change.after = {};
    change_ = std::move(change);
    return result;
}

int32_t RegistryTap::CloseKey(RegKey key) {
    keys_.erase(key);
    return inner_.CloseKey(key);
}
