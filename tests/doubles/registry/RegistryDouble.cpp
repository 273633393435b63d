#include "RegistryDouble.h"

#include <algorithm>
#include <cstring>

struct RegistryDouble::Node {
    std::string name;
    Node* parent = nullptr;
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Node>> subKeys;  // by folded name: the platform's order
    std::vector<StoredValue> values;                        // in the order they were first set

    std::string FullPath() const {
        return parent == nullptr ? name : parent->FullPath() + "\\" + name;
    }
    StoredValue* FindValue(const std::string& valueName) {
        const std::string folded = registry_text::Fold(valueName);
        for (auto& v : values) {
            if (registry_text::Fold(v.name) == folded) return &v;
        }
        return nullptr;
    }
    void MarkDeleted() {
        deleted = true;
        for (auto& [_, child] : subKeys) child->MarkDeleted();
    }
};

namespace registry_text {

namespace {

// Decodes one well-formed UTF-8 character at i, or returns false.
bool Decode(const unsigned char* s, size_t length, size_t& i, uint32_t& cp) {
    const unsigned char lead = s[i];
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        ++i;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, cp = lead & 0x07u, minimum = 0x10000;
    } else {
        return false;
    }
    if (i + extra >= length) return false;
    for (size_t k = 1; k <= extra; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (s[i + k] & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
    return true;
}

void Encode(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t Upper(uint32_t cp) {
    if (cp >= 'a' && cp <= 'z') return cp - 0x20;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
    if (cp == 0xFF) return 0x178;
    if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 0x20;
    if (cp == 0x3C2) return 0x3A3;
    if (cp == 0x3AC) return 0x386;
    if (cp >= 0x3AD && cp <= 0x3AF) return cp - 0x25;
    if (cp == 0x3CC) return 0x38C;
    if (cp == 0x3CD || cp == 0x3CE) return cp - 0x3F;
    if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;
    if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
    return cp;
}

}  // namespace

bool IsValidUtf8(const char* text, size_t length) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    uint32_t cp = 0;
    for (size_t i = 0; i < length;) {
        if (!Decode(s, length, i, cp)) return false;
    }
    return true;
}

std::string Fold(const std::string& utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    std::string folded;
    uint32_t cp = 0;
    for (size_t i = 0; i < utf8.size();) {
        if (Decode(s, utf8.size(), i, cp)) {
            Encode(Upper(cp), folded);
        } else {
            folded += static_cast<char>(s[i++]);
        }
    }
    return folded;
}

}  // namespace registry_text

namespace {

using registry_text::Fold;

constexpr int32_t kBadPathname = 161;
constexpr int32_t kKeyDeleted = 1018;
constexpr int32_t kBadNetPath = 53;

// Names end at their first NUL, as the platform reads them.
std::string CName(const std::string& name) { return std::string(name.c_str()); }

bool ValidName(const std::string& name) {
    return registry_text::IsValidUtf8(name.data(), name.size());
}

// Path components; empty ones (doubled or trailing backslashes) are skipped as the platform
// does. A leading backslash is refused.
bool Split(const std::string& path, std::vector<std::string>& parts) {
    if (!path.empty() && path[0] == '\\') return false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

const char* RootName(RegKey root) {
    switch (static_cast<int32_t>(static_cast<intptr_t>(root))) {
        case reg::kClassesRoot: return "HKEY_CLASSES_ROOT";
        case reg::kCurrentUser: return "HKEY_CURRENT_USER";
        case reg::kLocalMachine: return "HKEY_LOCAL_MACHINE";
        case reg::kUsers: return "HKEY_USERS";
        case reg::kCurrentConfig: return "HKEY_CURRENT_CONFIG";
        default: return nullptr;
    }
}

}  // namespace

RegistryDouble::RegistryDouble(bool wow64) : wow64_(wow64) {
    for (int32_t root : {reg::kClassesRoot, reg::kCurrentUser, reg::kLocalMachine, reg::kUsers,
                         reg::kCurrentConfig}) {
        auto node = std::make_shared<Node>();
        node->name = RootName(reg::RootKey(root));
        roots_[reg::RootKey(root)] = node;
    }
    auto software = std::make_shared<Node>();
    software->name = "Software";
    software->parent = roots_[reg::RootKey(reg::kLocalMachine)].get();
    roots_[reg::RootKey(reg::kLocalMachine)]->subKeys[Fold("Software")] = software;
}

RegistryDouble::~RegistryDouble() = default;

void RegistryDouble::SetEnvironment(const std::string& name, const std::string& value) {
    environment_[Fold(name)] = value;
}

void RegistryDouble::FailOn(const std::string& operation, const std::string& fullPath,
                            int32_t code) {
    std::vector<std::string> parts;
    Split(fullPath, parts);
    std::string path;
    for (const auto& p : parts) {
        if (!path.empty()) path += '\\';
        path += Fold(p);
    }
    failures_[operation + "|" + path] = code;
}

int32_t RegistryDouble::Injected(const std::string& operation, const Node& node) const {
    const auto it = failures_.find(operation + "|" + Fold(node.FullPath()));
    return it == failures_.end() ? reg::kSuccess : it->second;
}

RegKey RegistryDouble::NewHandle(std::shared_ptr<Node> node, uint32_t access) {
    const RegKey key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{std::move(node), access};
    return key;
}

int32_t RegistryDouble::Lookup(RegKey key, uint32_t needed, std::shared_ptr<Node>& node) const {
    if (const auto root = roots_.find(key); root != roots_.end()) {
        node = root->second;
        return reg::kSuccess;
    }
    const auto it = handles_.find(key);
    if (it == handles_.end()) return reg::kInvalidHandle;
    node = it->second.node;
    if (node->deleted) return kKeyDeleted;
    if ((it->second.access & needed) != needed) return reg::kAccessDenied;
    return reg::kSuccess;
}

int32_t RegistryDouble::Resolve(RegKey root, const std::string& subKey, uint32_t access,
                                bool create, std::shared_ptr<Node>& found,
                                std::string& callPath) {
    std::shared_ptr<Node> node;
    const int32_t looked = Lookup(root, 0, node);
    callPath = (RootName(root) != nullptr ? RootName(root) : std::to_string(root)) +
               std::string("\\") + subKey;
    if (looked != reg::kSuccess) return looked;
    const std::string path = CName(subKey);
    if (!ValidName(path)) return reg::kNoUnicodeTranslation;
    std::vector<std::string> parts;
    if (!Split(path, parts)) return kBadPathname;

    // The 32-bit view of HKEY_LOCAL_MACHINE\Software is its Wow6432Node.
    const bool view32 = (access & reg::kWow64_32Key) != 0 ||
                        (wow64_ && (access & reg::kWow64_64Key) == 0);
    if (view32 && root == reg::RootKey(reg::kLocalMachine) && !parts.empty() &&
        Fold(parts[0]) == "SOFTWARE" && (parts.size() < 2 || Fold(parts[1]) != "WOW6432NODE")) {
        parts.insert(parts.begin() + 1, "Wow6432Node");
    }
    for (const auto& part : parts) {
        const std::string folded = Fold(part);
        auto it = node->subKeys.find(folded);
        if (it == node->subKeys.end()) {
            if (!create) return reg::kFileNotFound;
            if (const int32_t failed = Injected("CreateKey", *node)) return failed;
            auto child = std::make_shared<Node>();
            child->name = part;
            child->parent = node.get();
            it = node->subKeys.emplace(folded, child).first;
        }
        node = it->second;
    }
    found = node;
    return reg::kSuccess;
}

int32_t RegistryDouble::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                                RegKey& key) {
    key = 0;
    std::shared_ptr<Node> node;
    std::string callPath;
    int32_t result = Resolve(root, subKey, access, false, node, callPath);
    calls.push_back({"OpenKey", callPath, access});
    if (result == reg::kSuccess) result = Injected("OpenKey", *node);
    if (result != reg::kSuccess) return result;
    key = NewHandle(node, access);
    return reg::kSuccess;
}

int32_t RegistryDouble::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                  RegKey& key) {
    key = 0;
    std::shared_ptr<Node> node;
    std::string callPath;
    int32_t result = Resolve(root, subKey, access, true, node, callPath);
    calls.push_back({"CreateKey", callPath, access});
    if (result == reg::kSuccess) result = Injected("CreateKey", *node);
    if (result != reg::kSuccess) return result;
    key = NewHandle(node, access);
    return reg::kSuccess;
}

int32_t RegistryDouble::QueryValue(RegKey key, const std::string& name, uint32_t& type,
                                   uint8_t* data, uint32_t& size) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, node)) return looked;
    calls.push_back({"QueryValue", node->FullPath() + "|" + name, 0});
    if (!ValidName(CName(name))) return reg::kNoUnicodeTranslation;
    if (const int32_t failed = Injected("QueryValue", *node)) return failed;
    const StoredValue* value = node->FindValue(CName(name));
    if (value == nullptr) return reg::kFileNotFound;
    type = value->type;
    const uint32_t capacity = size;
    size = static_cast<uint32_t>(value->data.size());
    if (data == nullptr) return reg::kSuccess;
    if (value->data.size() > capacity) return reg::kMoreData;
    std::copy(value->data.begin(), value->data.end(), data);
    return reg::kSuccess;
}

int32_t RegistryDouble::SetValue(RegKey key, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kSetValue, node)) return looked;
    calls.push_back({"SetValue", node->FullPath() + "|" + name, type});
    const std::string valueName = CName(name);
    if (!ValidName(valueName)) return reg::kNoUnicodeTranslation;
    if (data == nullptr) size = 0;
    if (reg::IsTextType(type) &&
        !registry_text::IsValidUtf8(reinterpret_cast<const char*>(data), size)) {
        return reg::kNoUnicodeTranslation;
    }
    if (const int32_t failed = Injected("SetValue", *node)) return failed;
    StoredValue stored{valueName, type, std::vector<uint8_t>(data, data + size)};
    if (StoredValue* existing = node->FindValue(valueName)) {
        existing->type = type;
        existing->data = std::move(stored.data);
    } else {
        node->values.push_back(std::move(stored));
    }
    return reg::kSuccess;
}

int32_t RegistryDouble::DeleteValue(RegKey key, const std::string& name) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kSetValue, node)) return looked;
    calls.push_back({"DeleteValue", node->FullPath() + "|" + name, 0});
    if (!ValidName(CName(name))) return reg::kNoUnicodeTranslation;
    if (const int32_t failed = Injected("DeleteValue", *node)) return failed;
    const std::string folded = Fold(CName(name));
    const auto it = std::find_if(node->values.begin(), node->values.end(),
                                 [&](const StoredValue& v) { return Fold(v.name) == folded; });
    if (it == node->values.end()) return reg::kFileNotFound;
    node->values.erase(it);
    return reg::kSuccess;
}

int32_t RegistryDouble::DeleteKey(RegKey root, const std::string& subKey) {
    std::shared_ptr<Node> node;
    std::string callPath;
    // RegDeleteKey has no view flag: the program's default view.
    int32_t result = Resolve(root, subKey, 0, false, node, callPath);
    calls.push_back({"DeleteKey", callPath, 0});
    if (result != reg::kSuccess) return result;
    if (const int32_t failed = Injected("DeleteKey", *node)) return failed;
    if (node->parent == nullptr || !node->subKeys.empty()) return reg::kAccessDenied;
    node->MarkDeleted();
    node->parent->subKeys.erase(Fold(node->name));
    return reg::kSuccess;
}

int32_t RegistryDouble::EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kEnumerateSubKeys, node)) return looked;
    calls.push_back({"EnumKey", node->FullPath(), index});
    if (const int32_t failed = Injected("EnumKey", *node)) return failed;
    if (index >= node->subKeys.size()) return reg::kNoMoreItems;
    auto it = node->subKeys.begin();
    std::advance(it, index);
    const std::string& found = it->second->name;
    if (name == nullptr || found.size() + 1 > size) return reg::kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    return reg::kSuccess;
}

int32_t RegistryDouble::QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, node)) return looked;
    calls.push_back({"QueryInfoKey", node->FullPath(), 0});
    if (const int32_t failed = Injected("QueryInfoKey", *node)) return failed;
    maxValueNameLength = 0;
    for (const auto& v : node->values) {
        maxValueNameLength = std::max(maxValueNameLength, static_cast<uint32_t>(v.name.size()));
    }
    return reg::kSuccess;
}

int32_t RegistryDouble::EnumValue(RegKey key, uint32_t index, char* name,
                                  uint32_t& nameLength) {
    std::shared_ptr<Node> node;
    if (const int32_t looked = Lookup(key, reg::kQueryValue, node)) return looked;
    calls.push_back({"EnumValue", node->FullPath(), index});
    if (const int32_t failed = Injected("EnumValue", *node)) return failed;
    if (index >= node->values.size()) return reg::kNoMoreItems;
    const std::string& found = node->values[index].name;
    if (name == nullptr || found.size() + 1 > nameLength) return reg::kMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    nameLength = static_cast<uint32_t>(found.size());
    return reg::kSuccess;
}

int32_t RegistryDouble::ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) {
    key = 0;
    calls.push_back({"ConnectRegistry", machine, 0});
    if (roots_.count(root) == 0) return reg::kInvalidHandle;
    const std::string name = CName(machine);
    // No machine, or this machine by name: the local registry's own root.
    if (name.empty() || Fold(name) == Fold("\\\\" + computerName)) {
        key = root;
        return reg::kSuccess;
    }
    for (const auto& remote : remoteMachines) {
        if (Fold(name) != Fold("\\\\" + remote)) continue;
        auto& tree = machines_[Fold(remote)];
        if (!tree) {
            tree = std::make_shared<Node>();
            tree->name = "\\\\" + remote + "\\" + RootName(root);
        }
        key = NewHandle(tree, reg::kAllSpecificRights);
        return reg::kSuccess;
    }
    return kBadNetPath;
}

int32_t RegistryDouble::CloseKey(RegKey key) {
    if (roots_.count(key) != 0) return reg::kSuccess;
    return handles_.erase(key) == 1 ? reg::kSuccess : reg::kInvalidHandle;
}

uint32_t RegistryDouble::ExpandEnvironment(const std::string& source, char* buffer,
                                           uint32_t size) {
    const std::string text = CName(source);
    if (!ValidName(text)) return 0;
    // A name between two "%" that is set is replaced with the two "%"; an unknown name is
    // copied with both of them, and the search goes on after the second.
    std::string expanded;
    size_t i = 0;
    while (i < text.size()) {
        const size_t open = text.find('%', i);
        if (open == std::string::npos) {
            expanded += text.substr(i);
            break;
        }
        expanded += text.substr(i, open - i);
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) {
            expanded += text.substr(open);
            break;
        }
        const auto it = environment_.find(Fold(text.substr(open + 1, close - open - 1)));
        if (close > open + 1 && it != environment_.end()) {
            expanded += it->second;
            i = close + 1;
        } else {
            expanded += text.substr(open, close - open + 1);
            i = close + 1;
        }
    }
    const auto needed = static_cast<uint32_t>(expanded.size() + 1);
    if (buffer != nullptr && size >= needed) std::memcpy(buffer, expanded.c_str(), needed);
    return needed;
}

const RegistryDouble::Node* RegistryDouble::Find(const std::string& fullPath) const {
    std::vector<std::string> parts;
    Split(fullPath, parts);
    if (parts.empty()) return nullptr;
    const Node* node = nullptr;
    for (const auto& [_, root] : roots_) {
        if (Fold(root->name) == Fold(parts[0])) node = root.get();
    }
    for (size_t i = 1; node != nullptr && i < parts.size(); ++i) {
        const auto it = node->subKeys.find(Fold(parts[i]));
        node = it == node->subKeys.end() ? nullptr : it->second.get();
    }
    return node;
}

bool RegistryDouble::HasKey(const std::string& fullPath) const {
    return Find(fullPath) != nullptr;
}

std::optional<RegistryDouble::StoredValue> RegistryDouble::Stored(const std::string& fullPath,
                                                                  const std::string& name) const {
    Node* node = const_cast<Node*>(Find(fullPath));
    if (node == nullptr) return std::nullopt;
    if (const StoredValue* v = node->FindValue(name)) return *v;
    return std::nullopt;
}
