#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "env/GlobalUtils.h"

using namespace codes;

TEST(GetOSVersion, FromVersionBuildProductTypeAndEdition) {
    constexpr uint8_t kWork = 1, kDomainController = 2, kServer = 3;
    constexpr uint32_t kPro = 0x30, kMultiSession = 0xAF, kStandardServer = 0x07;
    const struct {
        OsVersionInfo reported;
        int32_t code;
    } rows[] = {
        {{0, 0, 0, 0, 0}, kWindows2000},  // the query failed
        {{4, 0, 1381, kWork, 0}, kWindows2000},
        {{5, 1, 2600, kWork, 0}, kWindowsXP},
        {{5, 2, 3790, kWork, 0}, kWindowsServer2003},  // XP x64 shares the Server 2003 kernel
        {{5, 3, 0, kWork, 0}, kWindows2000},
        {{6, 0, 6002, kWork, kPro}, kWindowsVista},
        {{6, 0, 6002, kServer, kStandardServer}, kWindowsServer2008},
        {{6, 1, 7601, kWork, kPro}, kWindows7},
        {{6, 1, 7601, kServer, kStandardServer}, kWindowsServer2008R2},
        {{6, 2, 9200, kWork, kPro}, kWindows8},
        {{6, 2, 9200, kServer, kStandardServer}, kWindowsServer2012},
        {{6, 3, 9600, kWork, kPro}, kWindows81},
        {{6, 3, 9600, kServer, kStandardServer}, kWindowsServer2012R2},
        {{6, 4, 9841, kWork, kPro}, kWindows2000},
        {{10, 0, 21999, kWork, kPro}, kWindows10},
        {{10, 0, 22000, kWork, kPro}, kWindows11},
        {{10, 0, 21999, kServer, kMultiSession}, kWindows10},
        {{10, 0, 22000, kServer, kMultiSession}, kWindows11},
        {{10, 0, 17762, kServer, kStandardServer}, kWindowsServer2016},
        {{10, 0, 17763, kServer, kStandardServer}, kWindowsServer2019},
        {{10, 0, 20347, kDomainController, kStandardServer}, kWindowsServer2019},
        {{10, 0, 20348, kDomainController, kStandardServer}, kWindowsServer2022},
        {{10, 0, 22000, kServer, kStandardServer}, kWindowsServer2022},
        {{10, 0, 26099, kServer, kStandardServer}, kWindowsServer2022},
        {{10, 0, 26100, kServer, kStandardServer}, kWindowsServer2025},
        {{10, 0, 30000, kServer, 0}, kWindowsServer2025},
        {{11, 0, 30000, kWork, kPro}, kWindows2000},
    };
    for (const auto& row : rows) {
        FakeEnvironment env;
        env.system.version = row.reported;
        const OsVersionInfo& v = row.reported;
        EXPECT_EQ(GlobalUtils(env.platform()).GetOSVersion(), row.code)
            << v.major << "." << v.minor << "." << v.build << " type " << int{v.productType}
            << " edition " << v.edition;
    }
}

TEST(WriteLog, ExactLinesWithCrLfAppendedBesideTheExecutableInTheCodePage) {
    FakeEnvironment env;
    GlobalUtils utils(env.platform());
    const std::string log = "C:\\Tools\\SarnetLog.txt";
    env.files.files[log] = "earlier line\r\n";

    utils.WriteLog(" Command:SELECT * FROM Win32_Service WHERE Name='\xCE\xB1'",
                   ErrorRecord(-2147217385, "", ""));
    EXPECT_EQ(env.files.files[log],
              "earlier line\r\n06.12.202609:15:02 Error -2147217385, Source = : Trace:  "
              "Command:SELECT * FROM Win32_Service WHERE Name='?'\r\n");

    // Beside an executable in a drive root the log gets no second backslash.
    env.system.executablePath = "E:\\Orvik.exe";
    utils.WriteLog("", ErrorRecord(0, "", ""));
    EXPECT_EQ(env.files.files["E:\\SarnetLog.txt"],
              "06.12.202609:15:02 Error 0, Source = : Trace: \r\n");
}
