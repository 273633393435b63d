#pragma once
// kernel32, ntdll and the user's locale behind SystemInfo, Clock and FileSystem.

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace win32 {

class Win32SystemInfo final : public SystemInfo {
public:
    OsVersionInfo QueryVersion() override;
    bool IsWow64Process() override;
    void* DisableFsRedirection() override;
    void RevertFsRedirection(void* saved) override;
    std::string ExecutablePath() override;
    std::string ComputerName() override;
    bool IsElevated() override;
    bool RunsAsSystem() override;
    bool HasVisibleDesktop() override;
    std::string ErrorText(uint32_t code) override;
};

class Win32Clock final : public Clock {
public:
    std::string ShortDate() override;
    std::string TimeOfDay() override;
    std::string UtcTimestamp() override;
};

class Win32FileSystem final : public FileSystem {
public:
    bool Append(const std::string& path, const std::string& bytes) override;
    std::string ToSystemCodePage(const std::string& utf8) override;
};

}  // namespace win32
