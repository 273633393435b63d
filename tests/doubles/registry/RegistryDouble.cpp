#include "RegistryDouble.h"

#include <algorithm>
#include <cstring>

#include "catalogue/Codes.h"

namespace {

std::string Fold(const std::string& name) { return codes::UpperAscii(name); }

// Names end at their first NUL, as the platform reads them.
std::string CName(const std::string& name) { return std::string(name.c_str()); }

// Path components; empty ones (doubled or trailing backslashes) are skipped as the platform
// does. A leading backslash is refused.
bool Split(const std::string& path, std::vector<std::string>& parts, bool fold = true) {
    if (!path.empty() && path[0] == '\\') return false;
    for (size_t start = 0, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find('\\', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (end > start) parts.push_back(fold ? Fold(part) : part);
    }
    return true;
}

const char* RootName(RegKey root) {
    switch (static_cast<int32_t>(static_cast<intptr_t>(root))) {
        case reg::kClassesRoot: return "HKEY_CLASSES_ROOT";
        case reg::kCurrentUser: return "HKEY_CURRENT_USER";
        case reg::kLocalMachine: return "HKEY_LOCAL_MACHINE";
        case reg::kUsers: return "HKEY_USERS";
        default: return nullptr;
    }
}

constexpr int32_t kBadPathname = 161;
constexpr int32_t kBadNetPath = 53;

// The full path as stored: the root's name and the folded keys.
std::string Folded(const std::string& fullPath) {
    std::vector<std::string> parts;
    Split(fullPath, parts);
    std::string path;
    for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
    return path;
}

bool IsBelow(const std::string& path, const std::string& key) {
    return path.size() > key.size() && path.compare(0, key.size(), key) == 0 &&
           path[key.size()] == '\\';
}

int32_t CopyName(const std::string& name, char* buffer, uint32_t size) {
    if (name.size() + 1 > size) return reg::kMoreData;
    std::copy(name.c_str(), name.c_str() + name.size() + 1, buffer);
    return reg::kSuccess;
}

}  // namespace

void RegistryDouble::SetEnvironment(const std::string& name, const std::string& value) {
    environment_[Fold(name)] = value;
}

int32_t RegistryDouble::Lookup(RegKey key, uint32_t needed, std::string& path) const {
    if (RootName(key) != nullptr) {
        path = RootName(key);
        return reg::kSuccess;
    }
    const auto it = handles_.find(key);
    if (it == handles_.end()) return reg::kInvalidHandle;
    path = it->second.path;
    if (path.find('\\') != std::string::npos && keys_.count(path) == 0) return reg::kKeyDeleted;
    return (it->second.access & needed) == needed ? reg::kSuccess : reg::kAccessDenied;
}

int32_t RegistryDouble::Resolve(RegKey root, const std::string& subKey, std::string& path,
                                uint32_t needed) const {
    if (const int32_t looked = Lookup(root, needed, path)) return looked;
    std::vector<std::string> parts;
    if (!Split(CName(subKey), parts)) return kBadPathname;
    for (const std::string& part : parts) path += "\\" + part;
    return reg::kSuccess;
}

int32_t RegistryDouble::NewHandle(const std::string& path, uint32_t access, RegKey& key) {
    key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{path, access};
    return reg::kSuccess;
}

void RegistryDouble::View(RegKey root, uint32_t access, std::string& path) const {
    static const std::string software = "HKEY_LOCAL_MACHINE\\SOFTWARE";
    static const std::string node = software + "\\WOW6432NODE";
    if (!wow64Process || RootName(root) == nullptr || (access & reg::kWow64_64Key) != 0) return;
    if (path != software && !IsBelow(path, software)) return;
    if (path != node && !IsBelow(path, node)) path.insert(software.size(), "\\WOW6432NODE");
}

// Keeps the names a path gives its keys as written, for listing; the path as stored, from its
// end, matches them one to one.
void RegistryDouble::Spell(const std::string& subKey, const std::string& path) {
    std::vector<std::string> written;
    Split(CName(subKey), written, false);
    std::string key = path;
    for (auto name = written.rbegin(); name != written.rend(); ++name) {
        spelled_.emplace(key, *name);
        key.erase(std::min(key.rfind('\\'), key.size()));
    }
}

int32_t RegistryDouble::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                                RegKey& key) {
    key = 0;
    std::string path;
    if (const int32_t result = Resolve(root, subKey, path)) return result;
    View(root, access, path);
    if (path.find('\\') != std::string::npos && keys_.count(path) == 0) return reg::kFileNotFound;
    const auto denied = deniedKeys.find(path);
    if (denied != deniedKeys.end() && (access & (reg::kSetValue | reg::kCreateSubKey)) != 0) {
        return denied->second;
    }
    return NewHandle(path, access, key);
}

int32_t RegistryDouble::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                  RegKey& key) {
    key = 0;
    std::string path;
    if (const int32_t result = Resolve(root, subKey, path)) return result;
    const std::string asked = path;
    View(root, access, path);
    if (const auto denied = deniedKeys.find(path); denied != deniedKeys.end()) {
        return denied->second;
    }
    // Every key along the path comes into being.
    for (size_t slash = path.find('\\'); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        keys_[path.substr(0, slash)];
    }
    keys_[path];
    if (path == asked) Spell(subKey, path);  // the 32-bit view's keys list folded
    return NewHandle(path, access, key);
}

int32_t RegistryDouble::QueryValue(RegKey key, const std::string& name, uint32_t& type,
                                   uint8_t* data, uint32_t& size) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, path)) return looked;
    const auto value = keys_[path].find(Fold(CName(name)));
    if (value == keys_[path].end()) return reg::kFileNotFound;
    type = value->second.type;
    const uint32_t capacity = size;
    size = static_cast<uint32_t>(value->second.data.size());
    if (data == nullptr) return reg::kSuccess;
    if (size > capacity) return reg::kMoreData;
    std::copy(value->second.data.begin(), value->second.data.end(), data);
    return reg::kSuccess;
}

int32_t RegistryDouble::SetValue(RegKey key, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kSetValue, path)) return looked;
    StoredValue& stored = keys_[path][Fold(CName(name))];
    if (stored.name.empty()) stored.name = CName(name);  // the first spelling stays
    stored.type = type;
    stored.data.assign(data, data == nullptr ? data : data + size);
    return reg::kSuccess;
}

int32_t RegistryDouble::DeleteValue(RegKey key, const std::string& name) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kSetValue, path)) return looked;
    return keys_[path].erase(Fold(CName(name))) == 1 ? reg::kSuccess : reg::kFileNotFound;
}

int32_t RegistryDouble::DeleteKey(RegKey root, const std::string& subKey, uint32_t view) {
    std::string path;
    if (const int32_t result = Resolve(root, subKey, path)) return result;
    View(root, view, path);
    const auto key = keys_.find(path);
    if (key == keys_.end() || path.find('\\') == std::string::npos) return reg::kFileNotFound;
    const auto below = keys_.lower_bound(path + "\\");
    if (below != keys_.end() && IsBelow(below->first, path)) return reg::kAccessDenied;
    keys_.erase(key);
    spelled_.erase(path);
    return reg::kSuccess;
}

int32_t RegistryDouble::EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kEnumerateSubKeys, path)) return looked;
    for (auto it = keys_.lower_bound(path + "\\"); it != keys_.end() && IsBelow(it->first, path);
         ++it) {
        const std::string below = it->first.substr(path.size() + 1);
        if (below.find('\\') == std::string::npos && index-- == 0) {
            const auto spelled = spelled_.find(it->first);
            return CopyName(spelled == spelled_.end() ? below : spelled->second, name, size);
        }
    }
    return reg::kNoMoreItems;
}

int32_t RegistryDouble::EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, path)) return looked;
    const auto& values = keys_[path];
    if (index >= values.size()) return reg::kNoMoreItems;
    const std::string& found = std::next(values.begin(), index)->second.name;
    const int32_t copied = CopyName(found, name, nameLength);
    if (copied == reg::kSuccess) nameLength = static_cast<uint32_t>(found.size());
    return copied;
}

int32_t RegistryDouble::QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) {
    std::string path;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, path)) return looked;
    maxValueNameLength = 0;
    for (const auto& [name, value] : keys_[path]) {
        maxValueNameLength = std::max(maxValueNameLength, static_cast<uint32_t>(name.size()));
    }
    return reg::kSuccess;
}

// No name is this machine; every other machine is out of reach.
int32_t RegistryDouble::ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) {
    key = 0;
    if (!machine.empty()) return kBadNetPath;
    std::string path;
    if (const int32_t looked = Lookup(root, 0, path)) return looked;
    return NewHandle(path, reg::kAllSpecificRights, key);
}

int32_t RegistryDouble::CloseKey(RegKey key) {
    if (RootName(key) != nullptr) return reg::kSuccess;
    return handles_.erase(key) == 1 ? reg::kSuccess : reg::kInvalidHandle;
}

uint32_t RegistryDouble::ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) {
    const std::string text = CName(source);
    // A name between two "%" that is set is replaced with the two "%"; an unknown name is
    // copied with both of them, and the search goes on after the second.
    std::string expanded;
    size_t i = 0;
    for (size_t open; (open = text.find('%', i)) != std::string::npos;) {
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        const auto it = environment_.find(Fold(text.substr(open + 1, close - open - 1)));
        expanded += text.substr(i, open - i);
        expanded += close > open + 1 && it != environment_.end()
                        ? it->second
                        : text.substr(open, close - open + 1);
        i = close + 1;
    }
    expanded += text.substr(i);
    const auto needed = static_cast<uint32_t>(expanded.size() + 1);
    if (buffer != nullptr && size >= needed) std::memcpy(buffer, expanded.c_str(), needed);
    return needed;
}

std::string RegistryDouble::Dump() const {
    std::string all;
    for (const auto& [path, values] : keys_) {
        all += path + ":";
        for (const auto& [name, value] : values) {
            all += " " + name + "=" + std::to_string(value.type) + ":" +
                   std::string(value.data.begin(), value.data.end());
        }
        all += "\n";
    }
    return all;
}

bool RegistryDouble::MoveTree(const std::string& from, const std::string& to) {
    const std::string source = Folded(from), target = Folded(to);
    if (keys_.count(source) == 0 || keys_.count(target) != 0) return false;
    keys_[target] = std::move(keys_[source]);
    keys_.erase(source);
    for (auto it = keys_.lower_bound(source + "\\");
         it != keys_.end() && IsBelow(it->first, source);) {
        keys_[target + it->first.substr(source.size())] = std::move(it->second);
        it = keys_.erase(it);
    }
    return true;
}

std::optional<RegistryDouble::StoredValue> RegistryDouble::Stored(const std::string& fullPath,
                                                                  const std::string& name) const {
    const auto key = keys_.find(Folded(fullPath));
    if (key == keys_.end() || key->second.count(Fold(name)) == 0) return std::nullopt;
    return key->second.at(Fold(name));
}
