#pragma once
// An in-memory registry that behaves like advapi32 as the system uses it: names compared without
// regard to case, missing keys created along a path, a key with sub keys refused for deletion,
// ERROR_MORE_DATA with the size for a small buffer, data kept with the type and size written,
// handle rights checked, and the 32- and 64-bit views of HKEY_LOCAL_MACHINE\Software.
// Text is UTF-8 throughout; text types must be valid UTF-8, as the real adapter requires.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"

class RegistryDouble final : public Registry {
public:
    // wow64: the program is a 32-bit one on 64-bit Windows, so its default view of
    // HKEY_LOCAL_MACHINE\Software is the 32-bit one (Software\Wow6432Node). Otherwise the
    // default view is the 64-bit one and KEY_WOW64_32KEY reaches Wow6432Node.
    explicit RegistryDouble(bool wow64 = false);
    ~RegistryDouble() override;

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                    RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t DeleteKey(RegKey root, const std::string& subKey) override;
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override;
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override;
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override;
    int32_t CloseKey(RegKey key) override;
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override;

    // --- What a test arranges ---
    void SetEnvironment(const std::string& name, const std::string& value);
    // Every later call of operation (a member name above, e.g. "DeleteKey") on the key at
    // fullPath (root name first, as stored: "HKEY_LOCAL_MACHINE\Software\Wow6432Node\X")
    // fails with code. For "CreateKey" that includes creating any missing key below it.
    void FailOn(const std::string& operation, const std::string& fullPath, int32_t code);
    // The name ConnectRegistry knows as this machine ("\\" + it reaches the local registry).
    std::string computerName = "ORVIKHOST";
    // Other machines ConnectRegistry reaches; each has a registry of its own.
    std::set<std::string> remoteMachines;
    // Where the numbering of new handles goes on (a multiple of 4), e.g. beyond 32 bits.
    void IssueHandlesFrom(RegKey first) { nextHandle_ = first; }

    // --- What a test inspects ---
    struct Call {
        std::string operation;
        std::string path;  // root name and sub key as passed, or the key's full path
        uint32_t access = 0;
    };
    std::vector<Call> calls;
    size_t OpenHandleCount() const { return handles_.size(); }
    bool HasKey(const std::string& fullPath) const;
    struct StoredValue {
        std::string name;
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    std::optional<StoredValue> Stored(const std::string& fullPath, const std::string& name) const;

    struct Node;

private:
    struct Handle {
        std::shared_ptr<Node> node;
        uint32_t access = 0;
    };

    int32_t Resolve(RegKey root, const std::string& subKey, uint32_t access, bool create,
                    std::shared_ptr<Node>& found, std::string& callPath);
    int32_t Lookup(RegKey key, uint32_t needed, std::shared_ptr<Node>& node) const;
    int32_t Injected(const std::string& operation, const Node& node) const;
    RegKey NewHandle(std::shared_ptr<Node> node, uint32_t access);
    const Node* Find(const std::string& fullPath) const;

    bool wow64_;
    std::map<RegKey, std::shared_ptr<Node>> roots_;
    std::map<std::string, std::shared_ptr<Node>> machines_;
    std::map<RegKey, Handle> handles_;
    RegKey nextHandle_ = 0x1000;
    std::map<std::string, std::string> environment_;  // folded name -> value
    std::map<std::string, int32_t> failures_;         // operation + "|" + folded path -> code
};

namespace registry_text {
// Upper case for the comparison of names: ASCII, Latin-1, Greek and Cyrillic letters.
std::string Fold(const std::string& utf8);
// Well-formed UTF-8 as the platform's strict conversion accepts it.
bool IsValidUtf8(const char* text, size_t length);
}  // namespace registry_text
