// The file formats that carry settings to other machines: what is written reads back the same,
// what is no such file is refused at its place, and imports say what they cannot keep.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/Codes.h"
#include "fleet/CatalogueValues.h"
#include "fleet/GptIni.h"
#include "fleet/PolFile.h"
#include "fleet/RegFile.h"

namespace {

using fleet::FleetValue;
using Op = FleetValue::Op;
using Bytes = std::vector<uint8_t>;

Bytes Wide(const std::string& ascii) {
    Bytes bytes;
    for (char c : ascii) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
    return bytes;
}

std::string Shown(const std::vector<FleetValue>& values) {
    std::string text;
    for (const FleetValue& v : values) {
        text += std::to_string(static_cast<int>(v.op)) + "|" + v.key + "|" + v.name + "|" +
                std::to_string(v.type) + "|";
        for (uint8_t b : v.data) text += std::to_string(b) + ",";
        text += "\n";
    }
    return text;
}

std::string Utf16File(const std::string& ascii) {
    const Bytes wide = Wide(ascii);
    return "\xFF\xFE" + std::string(wide.begin(), wide.end());
}

template <typename Read>
long RefusedAt(Read read, const std::string& bytes) {
    try {
        read(bytes);
    } catch (const fleet::FormatError& wrong) {
        return static_cast<long>(wrong.at);
    }
    return -1;
}

const std::string kKey = "HKEY_LOCAL_MACHINE\\Software\\Orvik";

std::vector<FleetValue> EveryKind() {
    return {{Op::Set, kKey, "Quote \"and\\", 1, Wide("C:\\x \"y\"" + std::string(1, 0)), 0},
            {Op::Set, kKey, "", 1, Wide(std::string("two\r\nlines", 10) + std::string(1, 0)), 0},
            {Op::Set, kKey, "E", 2, Wide("%TEMP%" + std::string(1, 0)), 0},
            {Op::Set, kKey, "M", 7, Wide(std::string("a\0b\0\0", 5)), 0},
            {Op::Set, kKey, "D", 4, {0xFF, 0xFF, 0xFF, 0xFF}, 0},
            {Op::Set, kKey, "Q", 11, {1, 2, 3, 4, 5, 6, 7, 8}, 0},
            {Op::Set, kKey + "\\Sub", "B", 3, Bytes(70, 0xAB), 0},
            {Op::Set, kKey + "\\Sub", "None", 0, {}, 0},
            {Op::DeleteValue, kKey, "Gone", 0, {}, 0},
            {Op::DeleteKey, kKey + "\\Old", "", 0, {}, 0}};
}

TEST(RegFile, EveryKindReadsBackAsWritten) {
    const std::string file = fleet::WriteRegFile(EveryKind());
    EXPECT_EQ(file.substr(0, 4), std::string("\xFF\xFEW\0", 4));
    EXPECT_NE(file.find(std::string("\r\0\n\0", 4)), std::string::npos);
    EXPECT_EQ(file.find(std::string("\0\n\0\n", 4)), std::string::npos) << "no bare LF";
    std::vector<FleetValue> read = fleet::ReadRegFile(file);
    for (FleetValue& v : read) v.at = 0;
    EXPECT_EQ(Shown(read), Shown(EveryKind()));
}

TEST(RegFile, Regedit4AnsiWithContinuationsAndComments) {
    const std::string file =
        "REGEDIT4\r\n\r\n; a comment\r\n[HKEY_CURRENT_USER\\Software\\X\\]\r\n"
        "\"S\"=\"caf\xE9 \x80\"\r\n\"E\"=hex(2):25,41,25,\\\r\n  00\r\n@=dword:0000002a\r\n"
        "\"Gone\"=-\r\n[-HKEY_CURRENT_USER\\Software\\Y]\r\n";
    const std::vector<FleetValue> read = fleet::ReadRegFile(file);
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[0].key, "HKEY_CURRENT_USER\\Software\\X");
    EXPECT_EQ(read[0].data, (Bytes{'c', 0, 'a', 0, 'f', 0, 0xE9, 0, ' ', 0, 0xAC, 0x20, 0, 0}));
    EXPECT_EQ(read[1].data, Wide(std::string("%A%\0", 4))) << "ANSI bytes widened";
    EXPECT_EQ(read[1].at, 6u);
    EXPECT_EQ(read[2].name, "");
    EXPECT_EQ(read[2].data, (Bytes{42, 0, 0, 0}));
    EXPECT_EQ(read[3].op, Op::DeleteValue);
    EXPECT_EQ(read[4].op, Op::DeleteKey);
}

TEST(RegFile, WhatIsNoRegeditFileIsRefusedAtItsLine) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X]\r\n";
    const std::pair<std::string, size_t> cases[] = {
        {Utf16File("REGEDIT5\r\n"), 1},
        {"W\0i\0n\0", 1},  // UTF-16 without its mark
        {std::string("\xFE\xFF\0W", 4), 1},
        {std::string("\xFF\xFEW", 3), 1},
        {Utf16File(head + "[HKEY_CURRENT_USER\\Y\r\n"), 3},
        {Utf16File("Windows Registry Editor Version 5.00\r\n\"a\"=dword:1\r\n"), 2},
        {Utf16File(head + "\"a\"=dword:123456789\r\n"), 3},
        {Utf16File(head + "\"a\"=hex:1g\r\n"), 3},
        {Utf16File(head + "\"a\"=hex(:00\r\n"), 3},
        {Utf16File(head + "\"a=\"x\"\r\n"), 3},
        {Utf16File(head + "\"a\"=\"x\" y\r\n"), 3},
        {Utf16File(head + "\"a\"=word:1\r\n"), 3},
        {Utf16File(head + "[HKEY_NOWHERE\\Y]\r\n"), 3},
    };
    for (const auto& [file, line] : cases) {
        EXPECT_EQ(RefusedAt(fleet::ReadRegFile, file), static_cast<long>(line)) << file;
    }
}

TEST(PolFile, RecordsReadBackAndEveryCutOrBadFieldIsRefusedAtItsOffset) {
    std::vector<FleetValue> records = EveryKind();
    records.pop_back();  // a key delete is no record
    for (FleetValue& v : records) v.key = v.key.substr(v.key.find('\\') + 1);
    const std::string file = fleet::WritePolFile(records);
    EXPECT_EQ(file.substr(0, 8), std::string("PReg\1\0\0\0", 8));
    std::vector<FleetValue> read = fleet::ReadPolFile(file);
    ASSERT_EQ(read.size(), records.size());
    EXPECT_EQ(read.back().name, "**del.Gone");
    EXPECT_EQ(fleet::PolValueName(read.back()), "Gone");
    records.back() = {Op::Set, records.back().key, "**del.Gone", 1, Wide(" " + std::string(1, 0))};
    for (FleetValue& v : read) v.at = 0;
    EXPECT_EQ(Shown(read), Shown(records));
    EXPECT_TRUE(fleet::ReadPolFile("").empty());
    for (size_t cut = 1; cut < 60; ++cut) {
        if (cut == 8) continue;  // the head alone: a file without records
        EXPECT_THROW(fleet::ReadPolFile(file.substr(0, cut)), fleet::FormatError) << cut;
    }
    std::string huge = fleet::WritePolFile({{Op::Set, "K", "V", 3, {1, 2}, 0}});
    huge[31] = '\x7F';  // the size's top byte
    const std::pair<std::string, size_t> cases[] = {
        {huge, 28},
        {"PReg\2\0\0\0", 4},
        {"PRef\1\0\0\0", 0},
        {std::string("PReg\1\0\0\0[\0K\0\0\0;\0V\0\0\0;\0\3\0\0\0;\0\0\0\0\0;\0)\0", 36), 34}};
    for (const auto& [bad, offset] : cases) {
        EXPECT_EQ(RefusedAt(fleet::ReadPolFile, bad), static_cast<long>(offset)) << offset;
    }
}

TEST(PolFile, OursReplaceTheirsForTheSameValueAndRemoveTakesOursOut) {
    const std::vector<FleetValue> theirs = {{Op::Set, "Software\\P", "A", 4, {1, 0, 0, 0}, 0},
                                            {Op::Set, "software\\p", "**del.B", 1, {}, 0},
                                            {Op::Set, "Software\\P", "C", 4, {3, 0, 0, 0}, 0}};
    const std::vector<FleetValue> ours = {{Op::Set, "SOFTWARE\\P", "a", 4, {9, 0, 0, 0}, 0},
                                          {Op::DeleteValue, "Software\\P", "C", 0, {}, 0}};
    EXPECT_EQ(Shown(fleet::MergePol(theirs, ours, false)), Shown({theirs[1], ours[0], ours[1]}));
    EXPECT_EQ(Shown(fleet::MergePol(theirs, ours, true)), Shown({theirs[1]}));
}

TEST(Import, OneEntryPerKeyOrPolicyAndAWarningForWhatCannotBeSaid) {
    const std::string k = "HKEY_CURRENT_USER\\Software\\X";
    const std::vector<FleetValue> values = {
        {Op::Set, k, "D", 4, {0xFF, 0xFF, 0xFF, 0xFF}, 3},
        {Op::Set, k + "\\Y", "Q", 11, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 4},
        {Op::Set, k, "M", 7, Wide(std::string("a\0b\0\0", 5)), 5},
        {Op::DeleteValue, k, "Gone", 0, {}, 6},
        {Op::DeleteKey, k + "\\Old", "", 0, {}, 7},
        {Op::Set, k, "Pct", 1, Wide(std::string("%a%\0", 4)), 8},
        {Op::Set, k, "Empty", 1, Wide(std::string("\0", 1)), 9},
        {Op::Set, k, "NoStrings", 7, Wide(std::string("\0", 1)), 10},
        {Op::Set, k, "Link", 6, {1}, 11},
        {Op::Set, k, "Short", 4, {1}, 12},
        {Op::Set, k, "Pol", 2, Wide(std::string("%p%\0", 4)), 13},
        {Op::Set, k + "\\Y", "B", 3, {0x0A, 0xFF}, 14}};
    const fleet::PolicyNamer namer = [](const FleetValue& v) -> std::optional<fleet::NamedPolicy> {
        if (v.name != "Pol") return std::nullopt;
        return fleet::NamedPolicy{"P", "Policy P", "It does P.", {13}};
    };
    const fleet::Imported imported = fleet::ImportValues(values, "x.reg", namer, 7);
    ASSERT_EQ(imported.entries.size(), 3u);
    const OptimizationItem& first = *imported.entries[0];
    EXPECT_EQ(first.Number, "7");
    EXPECT_EQ(first.Name, k);
    EXPECT_EQ(first.Description, "Imported from x.reg.");
    EXPECT_FALSE(first.Enabled);
    EXPECT_EQ(first.Impact, "LOW");
    ASSERT_EQ(first.regItems.size(), 3u);
    EXPECT_EQ(first.regItems[0].Value, "-1");
    EXPECT_EQ(first.regItems[1].KeyType, codes::kKeyTypeMultiString);
    EXPECT_EQ(first.regItems[1].Value, "a\nb");
    EXPECT_EQ(first.regItems[2].KeyType, codes::kKeyTypeString) << "a delete is an empty STRING";
    EXPECT_EQ(first.regItems[2].Value, "");
    EXPECT_EQ(imported.entries[1]->regItems[0].KeyType, codes::kKeyTypeQword);
    EXPECT_EQ(imported.entries[1]->regItems[0].Value, "18446744073709551615");
    EXPECT_EQ(imported.entries[1]->regItems[1].Value, "0A,FF");
    EXPECT_EQ(imported.entries[2]->Name, "Policy P");
    EXPECT_EQ(imported.entries[2]->Description, "It does P. Imported from x.reg.");
    EXPECT_EQ(imported.entries[2]->osVersions, std::vector<int32_t>{13});
    std::vector<size_t> at;
    for (const fleet::Notice& warning : imported.warnings) at.push_back(warning.at);
    EXPECT_EQ(at, (std::vector<size_t>{7, 8, 9, 10, 11, 12}));
    using V = std::vector<int32_t>;
    EXPECT_EQ(fleet::SupportedVersions("At least Windows 10"),
              (V{codes::kWindows10, codes::kWindows11}));
    EXPECT_EQ(fleet::SupportedVersions("At least Windows Server 2019 or Windows 11"),
              (V{codes::kWindowsServer2019, codes::kWindowsServer2022, codes::kWindows11,
                 codes::kWindowsServer2025}));
    EXPECT_EQ(fleet::SupportedVersions("At least Windows 10 Version 1809"), V{});
    EXPECT_EQ(fleet::SupportedVersions("Windows 7 only"), V{});
}

TEST(Export, ValuesAsApplyWritesThemAndWhatAFileCannotCarry) {
    auto entry = std::make_shared<OptimizationItem>();
    entry->Number = "4";
    entry->regItems = {{codes::kKeyTypeString, "HKEY_LOCAL_MACHINE\\Software\\X\\", "S", "%a%"},
                       {codes::kKeyTypeMultiString, "HKEY_LOCAL_MACHINE\\Software\\X", "M", "a\nb"},
                       {codes::kKeyTypeDword, "HKEY_LOCAL_MACHINE\\Software\\X", "D", "many"},
                       {codes::kKeyTypeDword, "HKEY_LOCAL_MACHINE\\Software\\X", "E", "1"}};
    entry->cmdItems = {cmdItem("cmd.exe /c x")};
    entry->serviceItems = {{"SysMain", "Disabled"}};
    entry->taskItems = {{"\\T", "Disabled"}};
    const fleet::Exported exported = fleet::ExportValues({entry});
    ASSERT_EQ(exported.values.size(), 2u);
    EXPECT_EQ(exported.values[0].key, "HKEY_LOCAL_MACHINE\\Software\\X");
    EXPECT_EQ(exported.values[0].type, 2u) << "the STRING rule";
    EXPECT_EQ(exported.values[1].data, Wide(std::string("a\0b\0\0", 5)));
    // In run order: values, services, tasks, command lines; none of the last three vanishes.
    ASSERT_EQ(exported.leftOut.size(), 5u);
    EXPECT_EQ(exported.leftOut[1].reason, "a run stops the entry's registry values before it");
    EXPECT_EQ(exported.leftOut[2].kind + ":" + exported.leftOut[2].text,
              "service:SysMain Disabled");
    EXPECT_EQ(exported.leftOut[3].kind + ":" + exported.leftOut[3].text, "task:\\T Disabled");
    EXPECT_EQ(exported.leftOut[4].kind, "command");
    EXPECT_TRUE(fleet::IsPolicyKey("software\\policies\\Microsoft"));
    EXPECT_FALSE(fleet::IsPolicyKey("Software\\PoliciesX"));
}

TEST(GptIni, ExtensionsAddedOnceAndEachHalfsVersionRaised) {
    const std::string fresh = fleet::RaiseGptIni("", true, false);
    EXPECT_EQ(fresh, std::string("[General]\r\ngPCMachineExtensionNames=") +
                         fleet::kMachineExtensions + "\r\nVersion=1\r\n");
    const std::string again =
        fleet::RaiseGptIni("[General]\r\ngPCMachineExtensionNames=[{0000}{1111}]" +
                               std::string(fleet::kMachineExtensions) + "\r\nVersion=131071\r\n",
                           true, true);
    EXPECT_EQ(again, std::string("[General]\r\ngPCMachineExtensionNames=[{0000}{1111}]") +
                         fleet::kMachineExtensions + "\r\nVersion=131072\r\n" +
                         "gPCUserExtensionNames=" + fleet::kUserExtensions + "\r\n");
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

int Samba(const std::string& how, const std::filesystem::path& from,
          const std::filesystem::path& to) {
    return std::system(("/usr/bin/python3 " ORVIK_SAMBA_POL " " + how + " '" + from.string() +
                        "' '" + to.string() + "'")
                           .c_str());
}

}  // namespace

// Samba's reader (python3-samba) takes our file record for record, and writes back its very
// bytes; a file Samba wrote reads as its XML says.
TEST(PolFile, SambaReadsOursAndWeReadSambas) {
    // A folder of this run's own: another suite may run beside this one.
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("orvik-fleet-samba-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    std::vector<FleetValue> records = EveryKind();
    records.pop_back();
    records.erase(records.begin() + 1);  // Samba's XML keeps no CR
    for (FleetValue& v : records) v.key = v.key.substr(v.key.find('\\') + 1);
    const std::string ours = fleet::WritePolFile(records);
    std::ofstream(folder / "ours.pol", std::ios::binary) << ours;
    ASSERT_EQ(Samba("read", folder / "ours.pol", folder / "ours.xml"), 0);
    const std::string xml = Slurp(folder / "ours.xml");
    EXPECT_NE(xml.find("type_name=\"REG_QWORD\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<Value>578437695752307201</Value>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<ValueName>**del.Gone</ValueName>"), std::string::npos) << xml;
    ASSERT_EQ(Samba("write", folder / "ours.xml", folder / "again.pol"), 0);
    EXPECT_EQ(Slurp(folder / "again.pol"), ours);

    std::ofstream(folder / "theirs.xml")
        << "<PolFile num_entries='2' signature='PReg' version='1'>"
           "<Entry type='4'><Key>Software\\Policies\\S</Key><ValueName>D</ValueName>"
           "<Value>258</Value></Entry><Entry type='7'><Key>Software\\Policies\\S</Key>"
           "<ValueName>M</ValueName><Value>x</Value><Value>y</Value></Entry></PolFile>";
    ASSERT_EQ(Samba("write", folder / "theirs.xml", folder / "theirs.pol"), 0);
    const std::vector<FleetValue> theirs = fleet::ReadPolFile(Slurp(folder / "theirs.pol"));
    std::filesystem::remove_all(folder);
    ASSERT_EQ(theirs.size(), 2u);
    EXPECT_EQ(theirs[0].key, "Software\\Policies\\S");
    EXPECT_EQ(theirs[0].data, (Bytes{2, 1, 0, 0}));
    EXPECT_EQ(theirs[1].data, Wide(std::string("x\0y\0\0", 5)));
}
