#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "Harness.h"
#include "env/GlobalUtils.h"
#include "platform/win32/env/Win32Environment.h"

namespace {

struct RealEnvironment {
    win32::Win32SystemInfo system;
    win32::Win32Clock clock;
    win32::Win32FileSystem files;
    EnvPlatform platform() { return {system, clock, files}; }
};

}  // namespace

TEST(Win32Environment, VersionAndBitnessOfThisProcess) {
    RealEnvironment env;
    GlobalUtils utils(env.platform());
    const OsVersionInfo version = env.system.QueryVersion();
    EXPECT_GE(version.major, 5u);
    EXPECT_GT(version.build, 0u);
    EXPECT_TRUE(version.productType >= 1 && version.productType <= 3);
    if (version.major >= 6) {
        EXPECT_NE(version.edition, 0u);  // GetProductInfo answered
    }
    const int32_t code = utils.GetOSVersion();
    EXPECT_TRUE(code != 6 && code != 7) << code;
    // A 64-bit program is no WOW64 process, so redirection is left alone.
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(utils.Is64bit());
    }
    EXPECT_NE(utils.ExecutableName().find("env_win32_test"), std::string::npos);
}

TEST(Win32Environment, LogLineStartsWithTheSystemsDateAndTimeAndAnUnwritableLogLosesIt) {
    namespace fs = std::filesystem;
    RealEnvironment env;
    GlobalUtils utils(env.platform());
    const fs::path log = harness::Path(utils.ExecutableFolder()) / "SarnetLog.txt";
    fs::remove_all(log);
    const SYSTEMTIME before = harness::LocalNow();
    utils.WriteLog("Command: C:\\nothing.exe", ErrorRecord(2, "Orvik", "Not found. "));
    const std::vector<std::string> lines = harness::LogLines(log.parent_path());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(harness::WithoutStamp(lines[0], before, harness::LocalNow()),
              " Error 2, Source = Orvik: Not found. Trace: Command: C:\\nothing.exe")
        << lines[0];

    // A folder in the log's place (root ignores read-only files under Wine): the line is lost
    // and the caller goes on.
    fs::remove(log);
    fs::create_directory(log);
    EXPECT_NO_THROW(utils.WriteLog("lost", ErrorRecord(1, "s", "d")));
    EXPECT_TRUE(fs::is_empty(log));
    fs::remove(log);
}
