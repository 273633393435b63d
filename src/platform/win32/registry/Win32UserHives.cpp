#include "platform/win32/registry/Win32UserHives.h"

#include <windows.h>

#include <mutex>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/LibrarySearch.h"

namespace win32 {
namespace {

// The handler runs on a thread of its own; the cleanup is shared with it under this lock.
std::mutex interruptLock;
std::function<void()> interruptCleanup;

BOOL WINAPI OnConsoleEvent(DWORD) {
    const std::lock_guard<std::mutex> guard(interruptLock);
    if (interruptCleanup) std::exchange(interruptCleanup, {})();
    return FALSE;  // the program ends as it would have without this handler
}

// Sets both privileges' state; 1300 (ERROR_NOT_ALL_ASSIGNED) when the account lacks one.
int32_t AdjustPrivileges(DWORD state) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return static_cast<int32_t>(GetLastError());
    }
    const UniqueHandle owned(token);
    // TOKEN_PRIVILEGES holds one; the second follows it in the same block.
    struct {
        TOKEN_PRIVILEGES head;
        LUID_AND_ATTRIBUTES second;
    } privileges{};
    privileges.head.PrivilegeCount = 2;
    LUID_AND_ATTRIBUTES* each = privileges.head.Privileges;
    if (!LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &each[0].Luid) ||
        !LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &privileges.second.Luid)) {
        return static_cast<int32_t>(GetLastError());
    }
    each[0].Attributes = state;
    privileges.second.Attributes = state;
    // Succeeds also when the account holds neither; the last error tells.
    if (!AdjustTokenPrivileges(token, FALSE, &privileges.head, sizeof privileges, nullptr,
                               nullptr)) {
        return static_cast<int32_t>(GetLastError());
    }
    return static_cast<int32_t>(GetLastError());
}

}  // namespace

int32_t Win32UserHives::EnablePrivileges() { return AdjustPrivileges(SE_PRIVILEGE_ENABLED); }

void Win32UserHives::DropPrivileges() { AdjustPrivileges(0); }

std::string Win32UserHives::DefaultProfileFolder(int32_t& error) {
    // userenv is no KnownDLL on every Windows: loaded by its full path, when first needed.
    using FolderFn = BOOL(WINAPI*)(LPWSTR, LPDWORD);
    static const auto folder = [] {
        const auto userenv = static_cast<HMODULE>(LoadSystemLibrary(L"userenv.dll"));
        return userenv == nullptr
                   ? nullptr
                   : reinterpret_cast<FolderFn>(reinterpret_cast<void*>(
                         GetProcAddress(userenv, "GetDefaultUserProfileDirectoryW")));
    }();
    if (folder == nullptr) {
        error = ERROR_PROC_NOT_FOUND;
        return "";
    }
    DWORD size = 0;
    folder(nullptr, &size);  // asks the length, terminator included
    std::wstring text(size, L'\0');
    if (size == 0 || !folder(text.data(), &size)) {
        // Wine's is a stub that fails without a reason (measured).
        const DWORD reason = GetLastError();
        error = static_cast<int32_t>(reason != 0 ? reason : ERROR_NOT_SUPPORTED);
        return "";
    }
    error = 0;
    text.resize(text.find(L'\0'));
    return Narrow(text);
}

int32_t Win32UserHives::FindFile(const std::string& file) {
    const DWORD attributes = GetFileAttributesW(Widen(file).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return static_cast<int32_t>(GetLastError());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_FILE_NOT_FOUND : 0;
}

void Win32UserHives::Pause(std::chrono::milliseconds time) {
    Sleep(static_cast<DWORD>(time.count()));
}

int32_t Win32UserHives::Load(const std::string& name, const std::string& file) {
    return RegLoadKeyW(HKEY_USERS, Widen(name).c_str(), Widen(file).c_str());
}

int32_t Win32UserHives::Unload(const std::string& name) {
    return RegUnLoadKeyW(HKEY_USERS, Widen(name).c_str());
}

void Win32UserHives::WhenInterrupted(std::function<void()> cleanup) {
    static const bool installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
    (void)installed;
    const std::lock_guard<std::mutex> guard(interruptLock);
    interruptCleanup = std::move(cleanup);
}

std::string Win32UserHives::ErrorText(int32_t code) {
    return SystemErrorText(static_cast<uint32_t>(code));
}

}  // namespace win32
