#pragma once
// In-memory stand-ins for SystemInfo, Clock and FileSystem, with what the code under test did.

#include <map>
#include <string>
#include <vector>

#include "env/GlobalUtils.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

class FakeSystemInfo final : public SystemInfo {
public:
    OsVersionInfo version{6, 1, 7601, 1, 1};  // Windows 7 Ultimate
    std::string executablePath = "C:\\Tools\\Orvik.exe";

    bool wow64 = false;      // posing as the shipping 32-bit build on 64-bit Windows
    int redirectionOff = 0;  // redirection turned off and not yet back on
    bool elevated = true;    // an administrator's full token, as Wine gives every program
    bool system = false;     // posing as LocalSystem
    bool desktop = true;     // false: a non-interactive window station
    int desktopAsked = 0;    // asking loads the window libraries

    OsVersionInfo QueryVersion() override { return version; }
    bool IsWow64Process() override { return wow64; }
    void* DisableFsRedirection() override { return ++redirectionOff, &redirectionOff; }
    void RevertFsRedirection(void*) override { --redirectionOff; }
    std::string ExecutablePath() override { return executablePath; }
    std::string ComputerName() override { return "IMAGE-01"; }
    bool IsElevated() override { return elevated; }
    bool RunsAsSystem() override { return system; }
    bool HasVisibleDesktop() override { return ++desktopAsked, desktop; }
    std::string ErrorText(uint32_t code) override { return "system error " + std::to_string(code); }
};

class FakeClock final : public Clock {
public:
    std::string ShortDate() override { return "06.12.2026"; }
    std::string TimeOfDay() override { return "09:15:02"; }
    std::string UtcTimestamp() override { return "2026-12-06T08:15:02Z"; }
};

class FakeFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;

    bool Append(const std::string& path, const std::string& bytes) override {
        files[path] += bytes;
        return true;
    }
    // Stands for a Western code page: ASCII passes, every other character becomes '?'.
    std::string ToSystemCodePage(const std::string& utf8) override {
        std::string result;
        for (unsigned char byte : utf8) {
            if (byte < 0x80) result += static_cast<char>(byte);
            if (byte >= 0xC0) result += '?';  // a lead byte; continuation bytes add nothing
        }
        return result;
    }
};

// The three fakes together, with the bundle GlobalUtils takes.
struct FakeEnvironment {
    FakeSystemInfo system;
    FakeClock clock;
    FakeFileSystem files;
    EnvPlatform platform() { return {system, clock, files}; }
};
