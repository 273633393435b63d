#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "env/GlobalUtils.h"
#include "platform/win32/env/Win32Environment.h"

namespace {

struct RealEnvironment {
    win32::Win32SystemInfo system;
    win32::Win32Clock clock;
    win32::Win32FileSystem files;
    EnvPlatform platform() { return {system, clock, files}; }
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

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

TEST(Win32Environment, LogLineBytesOnDisk) {
    RealEnvironment env;
    GlobalUtils utils(env.platform());
    const std::string log = utils.ExecutableFolder() + "\\SarnetLog.txt";
    DeleteFileA(log.c_str());

    const std::string date = env.clock.ShortDate();
    utils.WriteLog("Command: C:\\nothing.exe", ErrorRecord(2, "Orvik", "The system cannot find the file specified. "));
    utils.WriteLog(" Command:SELECT x", ErrorRecord(-1, "", ""));

    const std::string bytes = ReadBytes(log);
    ASSERT_FALSE(bytes.empty());
    std::istringstream lines(bytes);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    // The date runs straight into the time; the time is the locale's, digits and separators.
    EXPECT_EQ(first.rfind(date, 0), 0u) << first;
    EXPECT_TRUE(std::regex_search(first.substr(date.size()),
                                  std::regex("^[0-9][0-9:. APMapm]*[0-9M] Error 2, Source = Orvik: "
                                             "The system cannot find the file specified. Trace: "
                                             "Command: C:\\\\nothing\\.exe\r$")))
        << first;
    EXPECT_TRUE(second.ends_with(" Error -1, Source = : Trace:  Command:SELECT x\r")) << second;
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    DeleteFileA(log.c_str());

    // A log that cannot be opened (here a folder stands in its place; root ignores read-only
    // files under Wine) loses the line and leaves the caller unaffected.
    ASSERT_TRUE(CreateDirectoryA(log.c_str(), nullptr));
    EXPECT_NO_THROW(utils.WriteLog("lost", ErrorRecord(1, "s", "d")));
    EXPECT_TRUE(RemoveDirectoryA(log.c_str()));  // still an empty folder
}
