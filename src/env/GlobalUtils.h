#pragma once
// Environment services: the running Windows version, WOW64 and file-system redirection, the code
// conversions of the catalogue and the failure log.

#include <cstdint>
#include <string>

#include "catalogue/Codes.h"
#include "env/ErrorRecord.h"

class SystemInfo;
class Clock;
class FileSystem;

// What GlobalUtils stands on; the composition root builds it once.
struct EnvPlatform {
    SystemInfo& system;
    Clock& clock;
    FileSystem& files;
};

class GlobalUtils {
public:
    explicit GlobalUtils(const EnvPlatform& platform) : platform_(platform) {}

    static int32_t SetOSVersion(const std::string& Value) { return codes::SetOSVersion(Value); }
    static std::string GetOSString(int32_t osVersion) { return codes::GetOSString(osVersion); }
    static int32_t SetMode(const std::string& Value) { return codes::SetMode(Value); }
    static std::string GetMode(int32_t mode) { return codes::GetMode(mode); }

    // Version code of the running machine from its real version, build, product type and
    // edition; never 6 (Server 2003 R2) or 7 (All). Which entries it is offered: codes::IsOffered.
    int32_t GetOSVersion();
    // True when a 32-bit program runs on 64-bit Windows.
    bool Is64bit();
    void TurnOff64Redirect();
    void TurnOn64Redirect();
    // Appends one failure line to SarnetLog.txt beside the executable; write failures are lost.
    void WriteLog(const std::string& message, const ErrorRecord& Err);

    // Folder of the executable without a trailing backslash (except a drive root, "C:\").
    std::string ExecutableFolder();
    // The system's words for a Windows error code.
    std::string ErrorText(uint32_t code);
    // File name of the executable without its extension ("Orvik"); the registry's error source.
    std::string ExecutableName();

    void* SavedRedirection = nullptr;

private:
    EnvPlatform platform_;
};
