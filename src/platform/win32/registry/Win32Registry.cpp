#include "platform/win32/registry/Win32Registry.h"

#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

using win32::Narrow;

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

// Names end at their first NUL, as the platform reads them.
std::optional<std::wstring> WidenName(const std::string& utf8) {
    return win32::WidenExactly(utf8.c_str(), std::strlen(utf8.c_str()));
}

// Copies a name with its NUL when it fits, as the narrow-character calls do.
int32_t CopyName(const std::string& name, char* buffer, uint32_t size) {
    if (buffer == nullptr || name.size() + 1 > size) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

}  // namespace

int32_t Win32Registry::OpenKey(RegKey root, const std::string& subKey, uint32_t access,
                               RegKey& key) {
    key = 0;
    const auto wide = WidenName(subKey);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExW(Handle(root), wide->c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
    return result;
}

int32_t Win32Registry::CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                                 RegKey& key) {
    key = 0;
    const auto wide = WidenName(subKey);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    HKEY created = nullptr;
    wchar_t noClass[] = L"";
    const LONG result =
        RegCreateKeyExW(Handle(root), wide->c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &created, nullptr);
    if (result == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(created);
    return result;
}

int32_t Win32Registry::QueryValue(RegKey key, const std::string& name, uint32_t& type,
                                  uint8_t* data, uint32_t& size) {
    const auto wide = WidenName(name);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    DWORD storedType = 0;
    DWORD storedSize = 0;
    LONG result =
        RegQueryValueExW(Handle(key), wide->c_str(), nullptr, &storedType, nullptr, &storedSize);
    if (result != ERROR_SUCCESS) return result;
    type = storedType;

    if (!reg::IsTextType(storedType)) {
        if (data == nullptr) {
            size = storedSize;
            return ERROR_SUCCESS;
        }
        DWORD got = size;
        result = RegQueryValueExW(Handle(key), wide->c_str(), nullptr, &storedType, data, &got);
        type = storedType;
        size = got;
        return result;
    }

    // Text is stored as UTF-16 and handed over as UTF-8, NULs and all; the sizes are those of
    // the UTF-8 form. A trailing odd byte is no UTF-16 unit and is left out.
    std::vector<BYTE> raw;
    do {
        raw.resize(storedSize + sizeof(wchar_t));
        DWORD got = static_cast<DWORD>(raw.size());
        result =
            RegQueryValueExW(Handle(key), wide->c_str(), nullptr, &storedType, raw.data(), &got);
        storedSize = got;
    } while (result == ERROR_MORE_DATA);
    if (result != ERROR_SUCCESS) return result;
    type = storedType;
    std::vector<wchar_t> units(storedSize / sizeof(wchar_t));
    if (!units.empty()) std::memcpy(units.data(), raw.data(), units.size() * sizeof(wchar_t));
    const std::string text = Narrow(units.data(), units.size());

    const uint32_t capacity = size;
    size = static_cast<uint32_t>(text.size());
    if (data == nullptr) return ERROR_SUCCESS;
    if (text.size() > capacity) return ERROR_MORE_DATA;
    if (!text.empty()) std::memcpy(data, text.data(), text.size());
    return ERROR_SUCCESS;
}

int32_t Win32Registry::SetValue(RegKey key, const std::string& name, uint32_t type,
                                const uint8_t* data, uint32_t size) {
    const auto wide = WidenName(name);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    if (!reg::IsTextType(type)) {
        return RegSetValueExW(Handle(key), wide->c_str(), 0, type, data, size);
    }
    auto text =
        win32::WidenExactly(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
    if (!text) return ERROR_NO_UNICODE_TRANSLATION;
    const auto bytes = static_cast<DWORD>(text->size() * sizeof(wchar_t));
    // The registry counts a NUL found right after text that lacks one; a unit that is no NUL
    // there keeps the data exactly as given.
    text->push_back(L'?');
    return RegSetValueExW(Handle(key), wide->c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(text->data()), bytes);
}

int32_t Win32Registry::QueryStored(RegKey key, const std::string& name, uint32_t& type,
                                   std::vector<uint8_t>& data) {
    const auto wide = WidenName(name);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    DWORD storedType = 0;
    DWORD size = 0;
    LONG result =
        RegQueryValueExW(Handle(key), wide->c_str(), nullptr, &storedType, nullptr, &size);
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        data.resize(size);
        DWORD got = size;
        result = RegQueryValueExW(Handle(key), wide->c_str(), nullptr, &storedType,
                                  data.empty() ? nullptr : data.data(), &got);
        if (result == ERROR_SUCCESS) {
            data.resize(got);
            break;
        }
        size = got;
    }
    type = storedType;
    return result;
}

int32_t Win32Registry::SetStored(RegKey key, const std::string& name, uint32_t type,
                                 const std::vector<uint8_t>& data) {
    const auto wide = WidenName(name);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    return RegSetValueExW(Handle(key), wide->c_str(), 0, type, data.data(),
                          static_cast<DWORD>(data.size()));
}

int32_t Win32Registry::DeleteValue(RegKey key, const std::string& name) {
    const auto wide = WidenName(name);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    return RegDeleteValueW(Handle(key), wide->c_str());
}

int32_t Win32Registry::DeleteKey(RegKey root, const std::string& subKey, uint32_t view) {
    const auto wide = WidenName(subKey);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    if (view == 0) return RegDeleteKeyW(Handle(root), wide->c_str());
    // Looked up, not imported: Windows before XP x64 has no such call, and there a view flag
    // is never asked for.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    const auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
    if (deleteKeyEx == nullptr) return RegDeleteKeyW(Handle(root), wide->c_str());
    return deleteKeyEx(Handle(root), wide->c_str(), view, 0);
}

int32_t Win32Registry::EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) {
    wchar_t buffer[256];
    DWORD length = 256;
    const LONG result =
        RegEnumKeyExW(Handle(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    return CopyName(Narrow(buffer, length), name, size);
}

int32_t Win32Registry::QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) {
    DWORD longest = 0;
    const LONG result = RegQueryInfoKeyW(Handle(key), nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, &longest, nullptr, nullptr, nullptr);
    // A UTF-16 unit takes at most three bytes in UTF-8 (a surrogate pair, four for two units).
    if (result == ERROR_SUCCESS) maxValueNameLength = longest * 3;
    return result;
}

int32_t Win32Registry::EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) {
    // The longest value name the registry allows, and its NUL.
    std::vector<wchar_t> buffer(16384);
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG result = RegEnumValueW(Handle(key), index, buffer.data(), &length, nullptr, nullptr,
                                      nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    const std::string narrow = Narrow(buffer.data(), length);
    const int32_t copied = CopyName(narrow, name, nameLength);
    if (copied == ERROR_SUCCESS) nameLength = static_cast<uint32_t>(narrow.size());
    return copied;
}

namespace {

int32_t PlatformConnect(const std::string& machine, RegKey root, RegKey& key) {
    key = 0;
    const auto wide = WidenName(machine);
    if (!wide) return ERROR_NO_UNICODE_TRANSLATION;
    HKEY connected = nullptr;
    const LONG result = RegConnectRegistryW(wide->c_str(), Handle(root), &connected);
    if (result == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(connected);
    return result;
}

// What the connecting thread and its caller share; whoever is last releases it.
struct PendingConnection {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    int32_t result = ERROR_BAD_NETPATH;
    RegKey key = 0;
};

}  // namespace

Win32Registry::Win32Registry(std::chrono::milliseconds connectBound, ConnectCall connect)
    : connectBound_(connectBound), connect_(connect ? std::move(connect) : PlatformConnect) {}

int32_t Win32Registry::ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) {
    key = 0;
    auto pending = std::make_shared<PendingConnection>();
    try {
        std::thread([pending, connect = connect_, machine, root] {
            RegKey connected = 0;
            const int32_t result = connect(machine, root, connected);
            std::lock_guard<std::mutex> guard(pending->lock);
            if (pending->abandoned) {
                // Nobody waits for it any more: a late connection is closed here.
                const UniqueKey late(result == ERROR_SUCCESS ? Handle(connected) : nullptr);
                return;
            }
            pending->done = true;
            pending->result = result;
            pending->key = connected;
            pending->finished.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: wait as long as the platform takes.
        const int32_t result = connect_(machine, root, key);
        if (result != ERROR_SUCCESS) key = 0;
        return result;
    }
    std::unique_lock<std::mutex> guard(pending->lock);
    if (!pending->finished.wait_for(guard, connectBound_, [&] { return pending->done; })) {
        pending->abandoned = true;
        return WAIT_TIMEOUT;
    }
    if (pending->result == ERROR_SUCCESS) key = pending->key;
    return pending->result;
}

int32_t Win32Registry::CloseKey(RegKey key) { return RegCloseKey(Handle(key)); }

uint32_t Win32Registry::ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) {
    const auto wide = WidenName(source);
    if (!wide) return 0;
    const DWORD needed = ExpandEnvironmentStringsW(wide->c_str(), nullptr, 0);
    if (needed == 0) return 0;
    std::vector<wchar_t> expanded(needed + 1, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(wide->c_str(), expanded.data(), needed + 1);
    if (written == 0 || written > needed + 1) return 0;
    const std::string narrow = Narrow(expanded.data(), std::wcslen(expanded.data()));
    const uint32_t total = static_cast<uint32_t>(narrow.size() + 1);
    if (buffer != nullptr && size >= total) std::memcpy(buffer, narrow.c_str(), total);
    return total;
}

}  // namespace win32
