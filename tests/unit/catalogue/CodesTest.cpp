#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "catalogue/Codes.h"
#include "catalogue/OptimizationItem.h"

using namespace codes;

// Names from the file in any case, the near misses and the rest, are the reader's test.
TEST(Codes, EveryDisplayNameReadsBackToItsCodeAndOutOfRangeThrows) {
    for (int32_t code = 0; code < kVersionCount; ++code) {
        std::string name = GetOSString(code);
        std::erase(name, ' ');
        EXPECT_EQ(SetOSVersion(name), code) << name;
    }
    for (int32_t code = 0; code <= 2; ++code) EXPECT_EQ(SetMode(GetMode(code)), code);
    for (int32_t code = 0; code <= kKeyTypeMultiString; ++code) {
        EXPECT_EQ(RegistryItem::SetKeyType(RegistryItem::GetKeyType(code)), code);
        EXPECT_EQ(TypeByNumber(TypeByKeyType(code)->number)->keyType, code);
    }
    EXPECT_EQ(RegistryItem::GetKeyType(kKeyTypeMultiString + 1), "");
    EXPECT_EQ(TypeNameOf(kRegQword) + TypeNameOf(0) + TypeNameOf(12), "REG_QWORDREG_NONEtype 12");
    EXPECT_EQ(KeyTypeNameList(), "DWORD, STRING, BINARY, QWORD, EXPANDSTRING or MULTISTRING");
    const std::pair<const char*, ServiceStart> starts[] = {
        {"Automatic", {services::kAutomatic, false}},
        {"AutomaticDelayed", {services::kAutomatic, true}},
        {"Manual", {services::kManual, false}},
        {"Disabled", {services::kDisabled, false}},
        {"Boot", {services::kBoot, false}},
        {"System", {services::kSystem, false}}};
    for (const auto& [name, start] : starts) {
        EXPECT_EQ(ServiceStartByName(UpperAscii(name)), start) << name;
        EXPECT_EQ(StartTypeName(start), name);
    }
    EXPECT_EQ(StartTypeName({services::kDisabled, true}) + StartTypeName({9, false}), "");
    EXPECT_FALSE(ServiceStartByName("Delayed") || ServiceStartByName("") ||
                 ServiceStartByName(" Manual"));
    EXPECT_TRUE(TaskEnabledByName("enabled") == true && TaskEnabledByName("DISABLED") == false);
    EXPECT_FALSE(TaskEnabledByName("On") || TaskEnabledByName(""));
    EXPECT_THROW(GetOSString(kVersionCount), std::out_of_range);
    EXPECT_THROW(GetOSString(-1), std::out_of_range);
    EXPECT_THROW(GetMode(3), std::out_of_range);
}

// Which single-version entries each machine is offered: its own, All, and those of the version
// it was identified as before it had a code of its own.
TEST(Codes, OfferedEntriesPerMachine) {
    // Machines with a former version; every code but All and Server 2003 R2 is taken as a machine.
    const std::map<int32_t, int32_t> formers = {
        {kWindowsServer2008R2, kWindowsServer2008}, {kWindows81, kWindows8},
        {kWindowsServer2012R2, kWindowsServer2012}, {kWindows10, kWindows8},
        {kWindowsServer2016, kWindowsServer2012},   {kWindowsServer2019, kWindowsServer2012},
        {kWindowsServer2022, kWindowsServer2012},   {kWindows11, kWindows8},
        {kWindowsServer2025, kWindowsServer2012}};
    for (int32_t machine = 0; machine < kVersionCount; ++machine) {
        if (machine == kAll || machine == kWindowsServer2003R2) continue;
        const int32_t former = formers.contains(machine) ? formers.at(machine) : -1;
        for (int32_t code = 0; code < kVersionCount; ++code) {
            EXPECT_EQ(IsOffered({code}, machine), code == machine || code == kAll || code == former)
                << "entry for " << code << " on machine " << machine;
        }
        EXPECT_FALSE(IsOffered({}, machine));
    }
    EXPECT_TRUE(IsOffered({kWindowsXP, kWindows7, kWindows8}, kWindows11));
    EXPECT_FALSE(IsOffered({kWindows10, kWindowsServer2012}, kWindows11));
    // Naming a later version of its own says exactly where an entry holds, within its family.
    EXPECT_FALSE(IsOffered({kWindows7, kWindows8, kWindows81}, kWindows10));
    EXPECT_TRUE(IsOffered({kWindows7, kWindows8, kWindows81}, kWindows81));
    EXPECT_FALSE(IsOffered({kWindows8, kWindows11}, kWindows10));
    EXPECT_TRUE(IsOffered({kWindows8, kWindowsServer2016}, kWindows10));
    EXPECT_FALSE(IsOffered({kWindowsServer2012, kWindowsServer2016}, kWindowsServer2019));
    EXPECT_TRUE(IsOffered({kWindowsServer2008, kWindowsServer2012R2}, kWindowsServer2008R2));
}

// The records' small forms give back what they were given, or plainly stand for nothing.
TEST(Records, FieldPositionsKeepNearbyFieldsAndOtherwiseGiveTheirRecords) {
    const XmlPosition record{100, 5};
    const std::pair<XmlPosition, XmlPosition> cases[] = {
        {{101, 7}, {101, 7}},       {{100, 9}, {100, 9}},
        {{163, 1023}, {163, 1023}}, {{100, 1028}, {100, 1028}},
        {{164, 3}, record},         {{101, 1024}, record},
        {{100, 1029}, record},      {{100, 5}, record},
        {{99, 1}, record},          {{0, 0}, record}};
    for (const auto& [field, expected] : cases) {
        EXPECT_EQ(FieldPosition(field, record).Or(record), expected)
            << field.line << ":" << field.column;
    }
    EXPECT_EQ(FieldPosition({3, 4}, {}).Or({}), XmlPosition{});
}

TEST(Records, VersionListsHoldAnyNumberOfCodesInOrder) {
    VersionList list;
    std::vector<int32_t> codes;
    for (int32_t i = 0; i < 40; ++i) {
        const VersionList before = list;
        list.push_back(i % kVersionCount);
        codes.push_back(i % kVersionCount);
        ASSERT_EQ(std::vector<int32_t>(list.begin(), list.end()), codes);
        EXPECT_EQ(before.size() + 1, list.size());  // a copy is a list of its own
        EXPECT_NE(before, list);
    }
    VersionList moved = std::move(list);
    VersionList assigned;
    assigned = moved;
    EXPECT_EQ(assigned, VersionList(codes));
    EXPECT_EQ(moved.back(), codes.back());
    const VersionList odd{-1, 300, 254};
    EXPECT_EQ(std::vector<int32_t>(odd.begin(), odd.end()), (std::vector<int32_t>{255, 255, 254}));
    EXPECT_FALSE(KnownVersion(VersionList::kNoVersion));
}
