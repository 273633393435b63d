#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "catalogue/Codes.h"
#include "catalogue/OptimizationItem.h"

using namespace codes;

// Names from the file: ASCII letters in any case; anything else falls back to the first code.
TEST(Codes, NamesInAnyCaseAndEverythingElseFallsBack) {
    for (const char* name : {"dword", "String", "BINARY", " STRING", "QWORD", ""}) {
        const std::string upper = UpperAscii(name);
        const int32_t expected = upper == "STRING" ? 1 : upper == "BINARY" ? 2 : 0;
        EXPECT_EQ(RegistryItem::SetKeyType(name), expected) << name;
    }
    EXPECT_EQ(RegistryItem::GetKeyType(3), "");
    EXPECT_EQ(SetOSVersion("WINDOWS7"), 5);
    EXPECT_EQ(SetOSVersion("windowsserver2012"), 9);
    EXPECT_EQ(SetOSVersion("Windows8.1"), kWindows81);
    EXPECT_EQ(SetOSVersion("WindowsServer2025"), kWindowsServer2025);
    for (const char* name : {"Windows 7", "Windows12", "Windows81", "", "w\xC3\xAE" "ndows7"})
        EXPECT_EQ(SetOSVersion(name), 0) << name;
    EXPECT_EQ(SetMode("normal"), 1);
    EXPECT_EQ(SetMode("turbo"), 0);
}

TEST(Codes, EveryDisplayNameReadsBackToItsCodeAndOutOfRangeThrows) {
    for (int32_t code = 0; code < kVersionCount; ++code) {
        std::string name = GetOSString(code);
        std::erase(name, ' ');
        EXPECT_EQ(SetOSVersion(name), code) << name;
    }
    for (int32_t code = 0; code <= 2; ++code) EXPECT_EQ(SetMode(GetMode(code)), code);
    EXPECT_THROW(GetOSString(kVersionCount), std::out_of_range);
    EXPECT_THROW(GetOSString(-1), std::out_of_range);
    EXPECT_THROW(GetMode(3), std::out_of_range);
}

// Which single-version entries each machine is offered: its own, All, and the code it was
// identified as before it had one of its own.
TEST(Codes, OfferedEntriesPerMachine) {
    const struct {
        int32_t machine;
        std::set<int32_t> offered;
    } rows[] = {
        {kWindows2000, {kWindows2000, kAll}},
        {kWindowsXP, {kWindowsXP, kAll}},
        {kWindowsServer2003, {kWindowsServer2003, kAll}},
        {kWindowsVista, {kWindowsVista, kAll}},
        {kWindowsServer2008, {kWindowsServer2008, kAll}},
        {kWindows7, {kWindows7, kAll}},
        {kWindows8, {kWindows8, kAll}},
        {kWindowsServer2012, {kWindowsServer2012, kAll}},
        {kWindowsServer2008R2, {kWindowsServer2008R2, kWindowsServer2008, kAll}},
        {kWindows81, {kWindows81, kWindows8, kAll}},
        {kWindowsServer2012R2, {kWindowsServer2012R2, kWindowsServer2012, kAll}},
        {kWindows10, {kWindows10, kWindows8, kAll}},
        {kWindowsServer2016, {kWindowsServer2016, kWindowsServer2012, kAll}},
        {kWindowsServer2019, {kWindowsServer2019, kWindowsServer2012, kAll}},
        {kWindowsServer2022, {kWindowsServer2022, kWindowsServer2012, kAll}},
        {kWindows11, {kWindows11, kWindows8, kAll}},
        {kWindowsServer2025, {kWindowsServer2025, kWindowsServer2012, kAll}},
    };
    for (const auto& row : rows) {
        for (int32_t code = 0; code < kVersionCount; ++code) {
            EXPECT_EQ(IsOffered({code}, row.machine), row.offered.count(code) == 1)
                << "entry for " << code << " on machine " << row.machine;
        }
        EXPECT_FALSE(IsOffered({}, row.machine));
    }
    EXPECT_TRUE(IsOffered({kWindowsXP, kWindows7, kWindows8}, kWindows11));
    EXPECT_FALSE(IsOffered({kWindows10, kWindowsServer2012}, kWindows11));
}
