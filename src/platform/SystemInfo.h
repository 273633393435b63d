#pragma once
// kernel32 services behind GlobalUtils: version, WOW64, file-system redirection, the executable's
// own path. Text is UTF-8.

#include <cstdint>
#include <string>

struct OsVersionInfo {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint8_t productType = 0;  // 1 workstation, 2 domain controller, 3 server
    uint32_t edition = 0;     // GetProductInfo's PRODUCT_* value; 0 when unknown
};

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // The real version (RtlGetVersion: unlike GetVersionEx, it answers the same whatever the
    // manifest declares) with the edition from GetProductInfo; all zero when the query fails.
    virtual OsVersionInfo QueryVersion() = 0;
    // True when IsWow64Process exists and reports a 32-bit process on 64-bit Windows.
    virtual bool IsWow64Process() = 0;
    // Wow64DisableWow64FsRedirection: returns the previous state to hand back to Revert.
    virtual void* DisableFsRedirection() = 0;
    virtual void RevertFsRedirection(void* saved) = 0;
    // Full path of the running executable, e.g. C:\Tools\Orvik.exe.
    virtual std::string ExecutablePath() = 0;
    // The machine's name (GetComputerName).
    virtual std::string ComputerName() = 0;
    // True with an administrator's full token (elevated, or as SYSTEM; before Vista, a member of
    // Administrators): what a run needs for anything but HKEY_CURRENT_USER.
    virtual bool IsElevated() = 0;
    // True when the process runs as LocalSystem (S-1-5-18), as a task sequence or a service
    // starts it: its HKEY_CURRENT_USER is the .DEFAULT hive, which no user is made from.
    virtual bool RunsAsSystem() = 0;
    // True when the process's window station is visible (WSF_VISIBLE): a message box there can
    // be seen and confirmed. False in a service's or a scheduled task's non-interactive one.
    virtual bool HasVisibleDesktop() = 0;
    // The system's words for a Windows error code; empty when it has none.
    virtual std::string ErrorText(uint32_t code) = 0;
};
