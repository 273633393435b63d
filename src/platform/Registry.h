#pragma once
// The Windows registry as cRegistry uses it: the advapi32 calls it makes, one member each, plus
// the environment expansion of REG_EXPAND_SZ text. Results are Windows error codes (0 success).
// Names and text are UTF-8; sizes are bytes of the UTF-8 form, terminating NULs included where
// the data holds them, so a caller sizes its buffers exactly as for the narrow-character calls.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Owned.h"
#include "platform/Utf8.h"

// An open key, or one of the predefined roots below. The roots are the 32-bit constants
// sign-extended, as the platform's HKEY values are on 64-bit Windows too.
using RegKey = uintptr_t;

namespace reg {

constexpr RegKey RootKey(int32_t handle) {
    return static_cast<RegKey>(static_cast<intptr_t>(handle));
}

inline constexpr int32_t kClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kUsers = static_cast<int32_t>(0x80000003u);
inline constexpr int32_t kCurrentConfig = static_cast<int32_t>(0x80000005u);

// Value types.
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kSz = 1;
inline constexpr uint32_t kExpandSz = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kDwordBigEndian = 5;
inline constexpr uint32_t kLink = 6;
inline constexpr uint32_t kMultiSz = 7;
inline constexpr uint32_t kQword = 11;

// Access rights.
inline constexpr uint32_t kQueryValue = 0x0001;
inline constexpr uint32_t kSetValue = 0x0002;
inline constexpr uint32_t kCreateSubKey = 0x0004;
inline constexpr uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr uint32_t kAllSpecificRights = 0x003F;
inline constexpr uint32_t kWow64_64Key = 0x0100;
inline constexpr uint32_t kWow64_32Key = 0x0200;

// Error codes the program and its tests rely on.
inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kFileNotFound = 2;
inline constexpr int32_t kAccessDenied = 5;
inline constexpr int32_t kInvalidHandle = 6;
inline constexpr int32_t kInvalidData = 13;
inline constexpr int32_t kMoreData = 234;
inline constexpr int32_t kNoMoreItems = 259;
inline constexpr int32_t kKeyDeleted = 1018;
inline constexpr int32_t kNoUnicodeTranslation = 1113;

// The predefined roots by their names.
struct NamedRoot {
    int32_t root;
    const char* name;
};
inline constexpr NamedRoot kRootNames[] = {{kClassesRoot, "HKEY_CLASSES_ROOT"},
                                           {kCurrentUser, "HKEY_CURRENT_USER"},
                                           {kLocalMachine, "HKEY_LOCAL_MACHINE"},
                                           {kUsers, "HKEY_USERS"},
                                           {kCurrentConfig, "HKEY_CURRENT_CONFIG"}};

// A root's name; its number for a key that is none of them.
inline std::string RootName(int32_t root) {
    for (const NamedRoot& named : kRootNames) {
        if (named.root == root) return named.name;
    }
    return std::to_string(root);
}

// The root of that exact name; 0 for none.
inline int32_t RootByName(const std::string& name) {
    for (const NamedRoot& named : kRootNames) {
        if (name == named.name) return named.root;
    }
    return 0;
}

// True for the types whose data is text and crosses this interface as UTF-8.
constexpr bool IsTextType(uint32_t type) {
    return type == kSz || type == kExpandSz || type == kMultiSz;
}

}  // namespace reg

class Registry {
public:
    virtual ~Registry() = default;

    // RegOpenKeyEx: options 0.
    virtual int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                            RegKey& key) = 0;
    // RegCreateKeyEx: class "", non-volatile, default security; creates every missing key of the
    // path or opens the key when it is there.
    virtual int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                              RegKey& key) = 0;
    // RegQueryValueEx: data may be null. On entry size is the buffer's size in bytes; on return
    // the stored size. A buffer too small for the data gives 234 (ERROR_MORE_DATA) and the size.
    virtual int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                               uint32_t& size) = 0;
    // RegSetValueEx.
    virtual int32_t SetValue(RegKey key, const std::string& name, uint32_t type,
                             const uint8_t* data, uint32_t size) = 0;
    // RegDeleteValue.
    virtual int32_t DeleteValue(RegKey key, const std::string& name) = 0;
    // RegDeleteKey, or RegDeleteKeyEx when a view flag is given (a 32-bit program deletes in the
    // 64-bit view only so): refuses a key that still has sub keys.
    virtual int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) = 0;
    // RegEnumKey: the NUL-terminated name of the sub key at index; 234 when it does not fit
    // into size bytes with its NUL.
    virtual int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) = 0;
    // RegQueryInfoKey, as far as the program uses it: a length in bytes, without NUL, that no
    // value name of the key exceeds.
    virtual int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) = 0;
    // RegEnumValue: on entry nameLength is the buffer's size in bytes; on return the name's
    // length without NUL.
    virtual int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) = 0;
    // RegConnectRegistry: machine as given ("\\server").
    virtual int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) = 0;
    // RegCloseKey.
    virtual int32_t CloseKey(RegKey key) = 0;
    // ExpandEnvironmentStrings: the size the expanded text needs in bytes, its NUL included;
    // fills the buffer only when it is large enough. 0 on failure.
    virtual uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) = 0;

    // RegQueryValueExW with the data as the registry stores it: text as UTF-16 with whatever
    // NULs, odd byte or unpaired surrogate it holds, so that a journal keeps the very bytes.
    // This default goes through QueryValue, which holds only what is text; the Windows
    // registry answers exactly.
    virtual int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                                std::vector<uint8_t>& data) {
        uint32_t size = 0;
        int32_t result = QueryValue(key, name, type, nullptr, size);
        if (result != 0 && result != 234) return result;
        std::vector<uint8_t> value(size);
        result = size == 0 ? 0 : QueryValue(key, name, type, value.data(), size);
        value.resize(size);
        data = reg::IsTextType(type) ? utf8::ToUtf16Bytes(value.data(), value.size()) : value;
        return result;
    }
    // RegSetValueExW with data as the registry stores it (text as UTF-16): undo's way back.
    virtual int32_t SetStored(RegKey key, const std::string& name, uint32_t type,
                              const std::vector<uint8_t>& data) {
        if (!reg::IsTextType(type)) {
            return SetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
        }
        const std::string text = utf8::FromUtf16Bytes(data);
        return SetValue(key, name, type, reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<uint32_t>(text.size()));
    }
};

namespace reg {

// A key opened through a Registry, closed through it.
struct OpenedKey {
    using Type = RegKey;
    Registry* registry = nullptr;
    static bool Valid(RegKey key) { return key != 0; }
    void Close(RegKey key) const { registry->CloseKey(key); }
};

}  // namespace reg

// A key that its holder closes: OwnedKey key(reg::OpenedKey{&registry}).
using OwnedKey = Owned<reg::OpenedKey>;
