#include <gtest/gtest.h>

#include <stdexcept>

#include "catalogue/Codes.h"
#include "catalogue/OptimizationItem.h"

using namespace codes;

TEST(KeyTypeCodes, NamesInAnyLetterCaseAndEverythingElseIsDword) {
    for (const char* name : {"dword", "DWORD", "Dword"}) EXPECT_EQ(RegistryItem::SetKeyType(name), 0) << name;
    for (const char* name : {"string", "STRING", "String"}) EXPECT_EQ(RegistryItem::SetKeyType(name), 1) << name;
    for (const char* name : {"binary", "BINARY", "Binary"}) EXPECT_EQ(RegistryItem::SetKeyType(name), 2) << name;
    for (const char* name : {" STRING", "BINARY ", "QWORD", ""}) EXPECT_EQ(RegistryItem::SetKeyType(name), 0) << name;
    EXPECT_EQ(RegistryItem::GetKeyType(2), "BINARY");
    EXPECT_EQ(RegistryItem::GetKeyType(3), "");
    EXPECT_EQ(RegistryItem::GetKeyType(-1), "");
}

TEST(VersionCodes, IdentifiersInAnyCaseButNotDisplayNamesWithBlanks) {
    for (const char* name : {"windows7", "Windows7", "WINDOWS7"}) EXPECT_EQ(SetOSVersion(name), 5) << name;
    EXPECT_EQ(SetOSVersion("Windows 7"), 0);
    EXPECT_EQ(SetOSVersion("WindowsServer2012"), 9);
    EXPECT_EQ(SetOSVersion("Windows8"), 8);
    EXPECT_EQ(SetOSVersion("All"), 7);
    EXPECT_EQ(SetOSVersion("WindowsServer2003R2"), 6);
    EXPECT_EQ(SetOSVersion("Windows10"), 0);
    EXPECT_EQ(SetOSVersion(""), 0);
    // Only ASCII letters are upper-cased: a look-alike with a non-ASCII letter is no name.
    EXPECT_EQ(SetOSVersion("w\xC3\xAE" "ndows7"), 0);
}

TEST(VersionCodes, EveryDisplayNameWithoutBlanksReadsBackToItsCode) {
    for (int32_t code = 0; code <= 9; ++code) {
        std::string name = GetOSString(code);
        std::erase(name, ' ');
        EXPECT_EQ(SetOSVersion(name), code) << name;
    }
    EXPECT_EQ(GetOSString(7), "All");
    EXPECT_EQ(GetOSString(6), "Windows Server 2003 R2");
    EXPECT_THROW(GetOSString(10), std::out_of_range);
    EXPECT_THROW(GetOSString(-1), std::out_of_range);
}

TEST(ModeCodes, NamesAndRoundTrip) {
    EXPECT_EQ(SetMode("Basic"), 2);
    EXPECT_EQ(SetMode("normal"), 1);
    EXPECT_EQ(SetMode("HiDef"), 0);
    EXPECT_EQ(SetMode("turbo"), 0);
    EXPECT_EQ(SetMode(""), 0);
    for (int32_t code = 0; code <= 2; ++code) EXPECT_EQ(SetMode(GetMode(code)), code);
    EXPECT_THROW(GetMode(3), std::out_of_range);
    EXPECT_THROW(GetMode(-1), std::out_of_range);
}

TEST(OptimizationItemRecord, DefaultsAndSharing) {
    OptimizationList first{std::make_shared<OptimizationItem>()};
    OptimizationList second{first.front()};
    const OptimizationItem& item = *first.front();
    EXPECT_FALSE(item.Enabled);
    EXPECT_EQ(item.mode, 0);
    EXPECT_TRUE(item.Name.empty() && item.Number.empty() && item.Description.empty() &&
                item.Justification.empty() && item.Category.empty() && item.Impact.empty());
    EXPECT_TRUE(item.regItems.empty() && item.cmdItems.empty() && item.wmiItems.empty() &&
                item.osVersions.empty());
    second.front()->Enabled = true;
    EXPECT_TRUE(first.front()->Enabled);
}
