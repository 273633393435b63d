#include "platform/win32/security/Win32RunLock.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>

#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

// Made by the first run: SYSTEM and Administrators may do anything with it; every other
// account may only wait for it, which is all a run needs (SYNCHRONIZE: take, hold, let go), so
// that no other user may change its access list or take it over as owner. The owner is the
// token's default: Administrators for an elevated run, the account itself for one that is not.
constexpr const wchar_t* kLockAccess = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)";

}  // namespace

// A name that another user made first is opened as it is, asking only to wait for it: a name
// held by an object that is no mutex, or whose access list keeps this account out, fails.
uint32_t Win32RunLock::Open() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockAccess, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return GetLastError();
    }
    const LocalMemory<void*> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    mutex_ = UniqueHandle(CreateMutexExW(&attributes, Widen(name_).c_str(), 0, SYNCHRONIZE));
    return mutex_.Valid() ? 0 : GetLastError();
}

RunLock::Taken Win32RunLock::Take(std::chrono::milliseconds wait, uint32_t& error) {
    error = 0;
    if (!mutex_.Valid() && (error = Open()) != 0) return Taken::Failed;
    // Below INFINITE, which would wait for ever.
    const auto limit = static_cast<DWORD>(std::clamp<int64_t>(wait.count(), 0, INFINITE - 1));
    switch (WaitForSingleObject(mutex_.Get(), limit)) {
        case WAIT_OBJECT_0: return Taken::Held;
        case WAIT_ABANDONED: return Taken::Abandoned;
        case WAIT_TIMEOUT: return Taken::Busy;
        default: error = GetLastError(); return Taken::Failed;
    }
}

void Win32RunLock::Release() {
    if (mutex_.Valid()) ReleaseMutex(mutex_.Get());
}

std::string Win32RunLock::ErrorText(uint32_t code) { return SystemErrorText(code); }

}  // namespace win32
