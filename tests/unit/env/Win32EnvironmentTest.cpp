#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>

#include "Harness.h"
#include "engine/CmdRunner.h"
#include "env/GlobalUtils.h"
#include "platform/win32/app/Win32Startup.h"
#include "platform/win32/env/Win32Environment.h"
#include "platform/win32/process/Win32ProcessLauncher.h"
#include "platform/win32/registry/Win32Registry.h"
#include "platform/win32/services/Win32ScheduledTasks.h"
#include "platform/win32/services/Win32ServiceControl.h"
#include "platform/win32/wmi/Win32Wmi.h"

namespace {

namespace fs = std::filesystem;

struct RealEnvironment {
    win32::Win32SystemInfo system;
    win32::Win32Clock clock;
    win32::Win32FileSystem files;
    win32::Win32Registry registry;
    win32::Win32ProcessLauncher processes;
    win32::Win32WmiConnector wmi;
    win32::Win32ServiceControl services;
    win32::Win32ScheduledTasks tasks;
    win32::Win32MessageBoxes boxes;
    EnvPlatform platform() { return {system, clock, files}; }
    EnginePlatform engine() {
        return {platform(), registry, processes, wmi, services, tasks, boxes};
    }
};

}  // namespace

// The edition tells Windows 10 and 11 multi-session, which report a server product type, from
// the servers; the whole-program tests see the rest of the identification.
TEST(Win32Environment, EditionAndBitnessOfThisProcess) {
    RealEnvironment env;
    const OsVersionInfo version = env.system.QueryVersion();
    ASSERT_GE(version.major, 6u);
    EXPECT_NE(version.edition, 0u);  // GetProductInfo answered
    EXPECT_EQ(GlobalUtils(env.platform()).Is64bit(), harness::kWow64);
}

// Under Wine an elevated administrator, not SYSTEM, in the visible WinSta0 (real Windows shows
// the other answers; docs/windows.md).
TEST(Win32Environment, AccountAndWindowStationOfThisProcess) {
    RealEnvironment env;
    EXPECT_EQ(env.system.IsElevated(), IsUserAnAdmin() != FALSE);
    EXPECT_FALSE(env.system.RunsAsSystem());
    wchar_t name[64] = {};
    DWORD needed = 0;
    ASSERT_TRUE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_NAME, name, sizeof(name),
                                          &needed));
    EXPECT_EQ(env.system.HasVisibleDesktop(), std::wstring(name) == L"WinSta0");
    EXPECT_FALSE(env.system.ErrorText(5).empty());
}

// That a system-folder command starts the native program is the silent run's test; here, that
// this process sees its own view again afterwards, also after a start that failed.
TEST(Win32Environment, RedirectionComesBackOnAfterSystemFolderCommands) {
    RealEnvironment env;
    GlobalUtils utils(env.platform());
    const std::string name = "Orvik-view-" + std::to_string(GetCurrentProcessId());
    // A file that only this program's own view of the system folder holds: for a WOW64 process,
    // the 32-bit folder.
    const fs::path own = fs::path(L"C:\\Windows\\System32") / name;
    std::ofstream(own) << "own view";
    if (harness::kWow64) {
        ASSERT_FALSE(fs::exists(fs::path(L"C:\\Windows\\Sysnative") / name));
    }

    const fs::path log = harness::Path(utils.ExecutableFolder()) / "SarnetLog.txt";
    fs::remove(log);
    const cmdItem quick{"C:\\Windows\\System32\\cmd.exe /c exit"};
    const std::vector<cmdItem> lists[] = {{quick}, {quick, {"C:\\orvik-nowhere\\missing.exe"}}};
    for (const auto& list : lists) {
        using Limit = std::optional<std::chrono::milliseconds>;
        for (const Limit limit : {Limit(), Limit(std::chrono::seconds(30))}) {
            CmdRunner(env.engine(), nullptr, limit).Run(list);
            EXPECT_TRUE(fs::exists(own)) << "redirection left off after " << list.size();
        }
    }
    EXPECT_EQ(harness::LogLines(log.parent_path()).size(), 2u) << "the start did not fail";
    fs::remove(own);
    fs::remove(log);
}

TEST(Win32Environment, AnUnwritableLogLosesTheLineAndTheCallerGoesOn) {
    RealEnvironment env;
    GlobalUtils utils(env.platform());
    // A folder in the log's place (root ignores read-only files under Wine).
    const fs::path log = harness::Path(utils.ExecutableFolder()) / "SarnetLog.txt";
    fs::remove_all(log);
    fs::create_directory(log);
    EXPECT_NO_THROW(utils.WriteLog("lost", ErrorRecord(1, "s", "d")));
    EXPECT_TRUE(fs::is_empty(log));
    fs::remove(log);
}
