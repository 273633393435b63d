#pragma once
// What the process's own token says about the account it runs as.

namespace win32 {

// True with an administrator's full token: TokenElevation on Vista and later; before Vista,
// which knows no elevation, membership of Administrators. LocalSystem counts as elevated.
bool ProcessIsElevated();

// True when the token's user is LocalSystem (S-1-5-18).
bool ProcessRunsAsSystem();

}  // namespace win32
