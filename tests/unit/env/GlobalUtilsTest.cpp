#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "env/GlobalUtils.h"

namespace {

int32_t VersionFor(uint32_t major, uint32_t minor, uint8_t productType) {
    FakeEnvironment env;
    env.system.version = {major, minor, productType};
    return GlobalUtils(env.platform()).GetOSVersion();
}

}  // namespace

TEST(GetOSVersion, EveryRowOfTheVersionTable) {
    for (uint8_t type : {1, 2, 3}) {
        EXPECT_EQ(VersionFor(5, 0, type), 0);
        EXPECT_EQ(VersionFor(5, 1, type), 1);
        EXPECT_EQ(VersionFor(5, 2, type), 2);
        EXPECT_EQ(VersionFor(5, 3, type), 0);
        EXPECT_EQ(VersionFor(6, 3, type), 0);  // 8.1 only when a manifest claims it
        EXPECT_EQ(VersionFor(10, 0, type), 0);
        EXPECT_EQ(VersionFor(4, 0, type), 0);
    }
    EXPECT_EQ(VersionFor(6, 0, 3), 4);
    EXPECT_EQ(VersionFor(6, 0, 1), 3);
    EXPECT_EQ(VersionFor(6, 0, 2), 3);
    EXPECT_EQ(VersionFor(6, 1, 1), 5);
    EXPECT_EQ(VersionFor(6, 1, 2), 5);
    EXPECT_EQ(VersionFor(6, 1, 3), 4);  // Server 2008 R2 is offered the Server 2008 entries
    EXPECT_EQ(VersionFor(6, 2, 3), 9);
    EXPECT_EQ(VersionFor(6, 2, 2), 8);
    EXPECT_EQ(VersionFor(6, 2, 1), 8);
    EXPECT_EQ(VersionFor(0, 0, 0), 0);  // a failed query leaves the record zero
}

TEST(Redirection, OnlyForA32BitProgramOn64BitWindowsAndTheSavedStateGoesBack) {
    FakeEnvironment env;
    GlobalUtils utils(env.platform());
    EXPECT_FALSE(utils.Is64bit());
    utils.TurnOff64Redirect();
    utils.TurnOn64Redirect();
    EXPECT_TRUE(env.system.redirectionCalls.empty());

    env.system.wow64 = true;
    EXPECT_TRUE(utils.Is64bit());
    utils.TurnOff64Redirect();
    EXPECT_TRUE(env.system.redirectionOff);
    utils.TurnOn64Redirect();
    EXPECT_FALSE(env.system.redirectionOff);
    EXPECT_EQ(env.system.redirectionCalls, (std::vector<std::string>{"off", "on:saved"}));
}

TEST(ExecutablePath, FolderAndNameIncludingADriveRoot) {
    FakeEnvironment env;
    GlobalUtils utils(env.platform());
    env.system.executablePath = "C:\\Program Files\\Orvik\\Orvik.exe";
    EXPECT_EQ(utils.ExecutableFolder(), "C:\\Program Files\\Orvik");
    EXPECT_EQ(utils.ExecutableName(), "Orvik");
    env.system.executablePath = "D:\\Orvik.v2.exe";
    EXPECT_EQ(utils.ExecutableFolder(), "D:\\");
    EXPECT_EQ(utils.ExecutableName(), "Orvik.v2");
}

TEST(WriteLog, ExactLineWithCrLfAppendedToTheLogBesideTheExecutable) {
    FakeEnvironment env;
    GlobalUtils utils(env.platform());
    const std::string log = "C:\\Tools\\SarnetLog.txt";
    env.files.files[log] = "earlier line\r\n";

    utils.WriteLog("Command: C:\\missing.exe /x", ErrorRecord(53, "Orvik.CmdRunner", "File not found"));
    utils.WriteLog("", ErrorRecord(0, "", ""));

    EXPECT_EQ(env.files.files[log],
              "earlier line\r\n"
              "06.12.202609:15:02 Error 53, Source = Orvik.CmdRunner: File not foundTrace: Command: "
              "C:\\missing.exe /x\r\n"
              "06.12.202609:15:02 Error 0, Source = : Trace: \r\n");
}

TEST(WriteLog, DriveRootNegativeNumbersCodePageAndUnwritableLog) {
    FakeEnvironment env;
    GlobalUtils utils(env.platform());
    env.system.executablePath = "E:\\Orvik.exe";
    utils.WriteLog(" Command:SELECT * FROM Win32_Service WHERE Name='\xCE\xB1'",
                   ErrorRecord(-2147217385, "SWbemServicesEx", "Invalid query "));
    ASSERT_EQ(env.files.files.count("E:\\SarnetLog.txt"), 1u);
    EXPECT_EQ(env.files.files["E:\\SarnetLog.txt"],
              "06.12.202609:15:02 Error -2147217385, Source = SWbemServicesEx: Invalid query Trace:  "
              "Command:SELECT * FROM Win32_Service WHERE Name='?'\r\n");

    env.files.readOnly.insert("E:\\SarnetLog.txt");
    EXPECT_NO_THROW(utils.WriteLog("lost", ErrorRecord(1, "s", "d")));
    EXPECT_EQ(env.files.files["E:\\SarnetLog.txt"].find("lost"), std::string::npos);
}
