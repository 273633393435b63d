#include "platform/win32/common/Token.h"

#include <windows.h>

#include "platform/win32/common/Handle.h"

// Every call here is in Windows XP; GetTokenInformation's TokenElevation class is Vista's, and
// older Windows refuses it with an error rather than a missing import. Querying the own token
// needs no privilege, elevated or not.
namespace win32 {
namespace {

UniqueHandle OwnToken() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return UniqueHandle();
    return UniqueHandle(raw);
}

// A well-known SID of this machine into buffer; false when it cannot be made.
bool WellKnown(WELL_KNOWN_SID_TYPE type, BYTE (&buffer)[SECURITY_MAX_SID_SIZE]) {
    DWORD size = sizeof(buffer);
    return CreateWellKnownSid(type, nullptr, buffer, &size) != FALSE;
}

}  // namespace

bool ProcessRunsAsSystem() {
    const UniqueHandle token = OwnToken();
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    BYTE system[SECURITY_MAX_SID_SIZE];
    if (!token.Valid() ||
        !GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size) ||
        !WellKnown(WinLocalSystemSid, system)) {
        return false;
    }
    return EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, system) != FALSE;
}

bool ProcessIsElevated() {
    const UniqueHandle token = OwnToken();
    if (!token.Valid()) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
        return elevation.TokenIsElevated != 0 || ProcessRunsAsSystem();
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    BOOL member = FALSE;
    return WellKnown(WinBuiltinAdministratorsSid, administrators) &&
           CheckTokenMembership(nullptr, administrators, &member) && member;
}

}  // namespace win32
