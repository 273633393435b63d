#include "platform/win32/registry/Win32UserHives.h"

#include <windows.h>

#include <mutex>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

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

}  // namespace

int32_t Win32UserHives::EnablePrivileges() {
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
    each[0].Attributes = SE_PRIVILEGE_ENABLED;
    privileges.second.Attributes = SE_PRIVILEGE_ENABLED;
    // Succeeds also when the account holds neither; the last error tells.
    if (!AdjustTokenPrivileges(token, FALSE, &privileges.head, sizeof privileges, nullptr,
                               nullptr)) {
        return static_cast<int32_t>(GetLastError());
    }
    return static_cast<int32_t>(GetLastError());
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
