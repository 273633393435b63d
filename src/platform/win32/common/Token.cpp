#include "platform/win32/common/Token.h"

#include <windows.h>

#include "platform/win32/common/Handle.h"

// Every call here is in Windows 2000 but GetTokenInformation's TokenElevation class (Vista),
// which older Windows refuses with an error rather than a missing import. Querying the own token
// needs no privilege, elevated or not.
namespace win32 {
namespace {

// A well-known SID of the NT authority, freed with the object.
class NtSid {
public:
    NtSid(DWORD first, DWORD second, BYTE count) {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid_)) {
            sid_ = nullptr;
        }
    }
    ~NtSid() {
        if (sid_ != nullptr) FreeSid(sid_);
    }
    NtSid(const NtSid&) = delete;
    NtSid& operator=(const NtSid&) = delete;
    PSID Get() const { return sid_; }

private:
    PSID sid_ = nullptr;
};

UniqueHandle OwnToken() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return UniqueHandle();
    return UniqueHandle(raw);
}

}  // namespace

bool ProcessRunsAsSystem() {
    const UniqueHandle token = OwnToken();
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    if (!token.Valid() ||
        !GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size)) {
        return false;
    }
    const NtSid system(SECURITY_LOCAL_SYSTEM_RID, 0, 1);
    return system.Get() != nullptr &&
           EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, system.Get());
}

bool ProcessIsElevated() {
    const UniqueHandle token = OwnToken();
    if (!token.Valid()) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        return elevation.TokenIsElevated != 0 || ProcessRunsAsSystem();
    }
    const NtSid administrators(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    BOOL member = FALSE;
    return administrators.Get() != nullptr &&
           CheckTokenMembership(nullptr, administrators.Get(), &member) && member;
}

}  // namespace win32
