// Registry edits: key parsing, value conversions, and the first failure ending the list quietly.

#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "engine/regRunner.h"

namespace {

RegistryItem Item(int32_t type, const std::string& key, const std::string& name,
                  const std::string& value) {
    RegistryItem item;
    item.KeyType = type;
    item.Key = key;
    item.ValueName = name;
    item.Value = value;
    return item;
}

constexpr int32_t kDword = 0;
constexpr int32_t kString = 1;
constexpr int32_t kBinary = 2;
const std::string kKey = "HKEY_CURRENT_USER\\Software\\OrvikTest";

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

std::vector<uint8_t> StoredData(RegistryFixture& f, const std::string& path,
                                const std::string& name, uint32_t expectedType) {
    const auto stored = f.registry.Stored(path, name);
    if (!stored) return {0xEE, 0xEE};  // marks "missing" in failure output
    EXPECT_EQ(stored->type, expectedType) << name;
    return stored->data;
}

TEST(regRunner, WritesEachKeyTypeConverted) {
    RegistryFixture f;
    regRunner edits(f.platform());
    edits.Run({
        Item(kString, kKey, "Text", "hello"),
        Item(kDword, kKey, "Hex", "&H10"),
        Item(kDword, kKey, "AllBits", "&HFFFFFFFF"),
        Item(kDword, kKey, "Negative", " -5 "),
        Item(kBinary, kKey, "Commas", "01,02,FF"),
        Item(kBinary, kKey, "Plain", "0102ff"),
        // The root name is compared after upper-casing.
        Item(kDword, "hkey_current_user\\Software\\OrvikTest\\Sub", "Lower", "7"),
    });
    EXPECT_EQ(StoredData(f, kKey, "Text", reg::kSz), Bytes({'h', 'e', 'l', 'l', 'o', 0}));
    EXPECT_EQ(StoredData(f, kKey, "Hex", reg::kDword), Bytes({0x10, 0, 0, 0}));
    EXPECT_EQ(StoredData(f, kKey, "AllBits", reg::kDword), Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(StoredData(f, kKey, "Negative", reg::kDword), Bytes({0xFB, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(StoredData(f, kKey, "Commas", reg::kBinary), Bytes({0x01, 0x02, 0xFF}));
    EXPECT_EQ(StoredData(f, kKey, "Plain", reg::kBinary), Bytes({0x01, 0x02, 0xFF}));
    EXPECT_EQ(StoredData(f, kKey + "\\Sub", "Lower", reg::kDword), Bytes({7, 0, 0, 0}));
    EXPECT_EQ(f.registry.OpenHandleCount(), 0u);
}

TEST(regRunner, FirstFailureEndsTheListQuietlyAndKeepsEarlierWrites) {
    // Each list: a good write, the failing item, a write that must not happen.
    const std::vector<RegistryItem> failing = {
        Item(kString, "HKCU\\Software\\OrvikTest", "v", "x"),  // short root names are unknown
        Item(kDword, kKey, "v", "4294967295"),                 // decimal beyond 32 bits
        Item(kDword, kKey, "v", "lots"),
        Item(kDword, kKey, "v", ""),
        Item(kBinary, kKey, "v", "0A0"),  // odd number of digits
        Item(kBinary, kKey, "v", ""),     // no bytes
        Item(kBinary, kKey, "v", "01 02"),
        Item(kString, "", "v", "x"),  // no key at all
    };
    for (const RegistryItem& bad : failing) {
        RegistryFixture f;
        regRunner edits(f.platform());
        edits.Run({Item(kString, kKey, "before", "1"), bad, Item(kString, kKey, "after", "3")});
        SCOPED_TRACE("failing item: key '" + bad.Key + "' value '" + bad.Value + "'");
        EXPECT_TRUE(f.registry.Stored(kKey, "before").has_value());
        EXPECT_FALSE(f.registry.Stored(kKey, "after").has_value());
        EXPECT_FALSE(f.registry.Stored(kKey, "v").has_value());
        EXPECT_TRUE(f.env.files.files.empty()) << "registry edits log nothing";
        EXPECT_EQ(f.registry.OpenHandleCount(), 0u);
    }
}

TEST(regRunner, UnknownKeyTypeWritesNothingAndDoesNotStop) {
    RegistryFixture f;
    regRunner edits(f.platform());
    edits.Run({Item(5, kKey, "five", "1"), Item(-1, kKey, "minus", "1"),
               Item(kString, kKey, "after", "3")});
    EXPECT_FALSE(f.registry.Stored(kKey, "five").has_value());
    EXPECT_FALSE(f.registry.Stored(kKey, "minus").has_value());
    EXPECT_TRUE(f.registry.Stored(kKey, "after").has_value());
}

TEST(regRunner, EmptyStringRemovesTheValue) {
    RegistryFixture f;
    regRunner edits(f.platform());
    edits.Run({Item(kString, kKey, "gone", "here")});
    ASSERT_TRUE(f.registry.Stored(kKey, "gone").has_value());
    edits.Run({Item(kString, kKey, "gone", ""), Item(kString, kKey, "after", "3")});
    EXPECT_FALSE(f.registry.Stored(kKey, "gone").has_value());
    EXPECT_TRUE(f.registry.Stored(kKey, "after").has_value());
}

TEST(regRunner, ThirtyTwoBitProgramWritesTheSixtyFourBitView) {
    RegistryFixture f(true);
    f.env.system.wow64 = true;
    regRunner edits(f.platform());
    edits.Run({Item(kDword, "HKEY_LOCAL_MACHINE\\Software\\OrvikTest", "Wide", "1")});
    EXPECT_TRUE(f.registry.Stored("HKEY_LOCAL_MACHINE\\Software\\OrvikTest", "Wide"));
    EXPECT_FALSE(f.registry.Stored("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\OrvikTest", "Wide"));
}

TEST(regRunner, DwordTexts) {
    const std::vector<std::pair<std::string, int32_t>> accepted = {
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"+7", 7},
        {"\t42 ", 42},
        {"&H10", 16},
        {"&h1f", 31},
        {"  &H10  ", 16},
        {"&H80000000", INT32_MIN},
        {"&H00000000FF", 255},  // leading zeros do not count against the 32 bits
        // Fractions and exponents round to the nearest whole number, halves to the even one.
        {"1.5", 2},
        {"2.5", 2},
        {"-1.5", -2},
        {"0.4", 0},
        {"1e3", 1000},
        {"2147483647.4", 2147483647},
        {".5", 0},
    };
    for (const auto& [text, value] : accepted) {
        EXPECT_EQ(regRunner::ToDword(text), value) << "'" << text << "'";
    }
    const std::vector<std::string> refused = {
        "", " ", "abc", "4294967295", "2147483648", "-2147483649", "2147483647.5", "1e10",
        "&H", "&H1FFFFFFFF", "&HG", "&H 10", "0x10", "1.2.3", "1e", "- 1", "1 2", "1,000",
        "99999999999999999999999", "1e400",
    };
    for (const std::string& text : refused) {
        EXPECT_THROW(regRunner::ToDword(text), ErrorRecord) << "'" << text << "'";
    }
}

TEST(regRunner, KeyPathsAndHexBytes) {
    EXPECT_EQ(regRunner::ParseClassKey("HKEY_LOCAL_MACHINE\\Software"), reg::kLocalMachine);
    EXPECT_EQ(regRunner::ParseClassKey("hkey_classes_root\\.txt"), reg::kClassesRoot);
    EXPECT_EQ(regRunner::ParseClassKey("HKEY_Current_User"), reg::kCurrentUser);
    EXPECT_EQ(regRunner::ParseClassKey("HKEY_USERS\\.DEFAULT"), reg::kUsers);
    EXPECT_EQ(regRunner::ParseClassKey("HKLM\\Software"), 0);
    EXPECT_EQ(regRunner::ParseClassKey("\\HKEY_USERS"), 0);
    EXPECT_EQ(regRunner::ParseClassKey(" HKEY_USERS\\x"), 0);
    EXPECT_THROW(regRunner::ParseClassKey(""), ErrorRecord);

    EXPECT_EQ(regRunner::ParseSectionKey("HKEY_LOCAL_MACHINE\\Software\\Example"),
              "Software\\Example\\");
    EXPECT_EQ(regRunner::ParseSectionKey("HKEY_LOCAL_MACHINE\\Software\\Example\\"),
              "Software\\Example\\\\");
    EXPECT_EQ(regRunner::ParseSectionKey("HKEY_USERS\\a\\\\b"), "a\\\\b\\");
    EXPECT_EQ(regRunner::ParseSectionKey("HKEY_LOCAL_MACHINE"), "");

    EXPECT_EQ(regRunner::HexStringToByteArray("7F"), Bytes({0x7F}));
    EXPECT_TRUE(regRunner::HexStringToByteArray("").empty());
    EXPECT_EQ(regRunner::HexStringToByteArray("00aBcD9f"), Bytes({0x00, 0xAB, 0xCD, 0x9F}));
    EXPECT_THROW(regRunner::HexStringToByteArray("0A0"), ErrorRecord);
    EXPECT_THROW(regRunner::HexStringToByteArray("0G"), ErrorRecord);
    EXPECT_THROW(regRunner::HexStringToByteArray("01,02"), ErrorRecord);  // Run drops commas
    EXPECT_THROW(regRunner::HexStringToByteArray(" 1"), ErrorRecord);
}

}  // namespace
