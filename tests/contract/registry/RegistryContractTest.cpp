// The Registry interface itself: what cRegistry and the double's users rely on.
#include "RegistryFixture.h"

namespace {
// Καλημέρα
const std::string kGreek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
const std::string kGreekUpper = "\xCE\x9A\xCE\x91\xCE\x9B\xCE\x97\xCE\x9C\xCE\x88\xCE\xA1\xCE\x91";
}  // namespace

TEST_F(RegistryContract, PathsAreCaseInsensitiveAndTolerateExtraBackslashes) {
    RegKey key = 0;
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\Alpha\\Beta\\", reg::kAllSpecificRights, key), 0);
    r.CloseKey(key);
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\alpha\\BETA"));
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\alpha\\\\beta\\\\"));
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\alpha\\gamma"));
    EXPECT_EQ(r.OpenKey(kHkcu, scratch + "\\missing", reg::kQueryValue, key), 2);
    EXPECT_EQ(key, 0u);
    // A leading backslash is no path, and no root is no key.
    EXPECT_EQ(r.OpenKey(kHkcu, "\\" + scratch, reg::kQueryValue, key), 161);
    EXPECT_EQ(r.OpenKey(0, "Software", reg::kQueryValue, key), reg::kInvalidHandle);
    EXPECT_EQ(r.CreateKey(0, "Software", reg::kAllSpecificRights, key), reg::kInvalidHandle);
    // Greek names compare without case too, and keep their letters.
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\" + kGreek, reg::kAllSpecificRights, key), 0);
    r.CloseKey(key);
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\" + kGreekUpper));
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kEnumerateSubKeys, key), 0);
    char name[256];
    std::vector<std::string> names;
    for (uint32_t i = 0; r.EnumKey(key, i, name, sizeof name) == 0; ++i) names.push_back(name);
    r.CloseKey(key);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", kGreek}));
}

TEST_F(RegistryContract, DeleteKeyRefusesKeysWithSubKeysAndMissingKeys) {
    RegKey key = 0;
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\A\\B", reg::kAllSpecificRights, key), 0);
    r.CloseKey(key);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\A"), reg::kAccessDenied);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\a\\b\\"), 0);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\A\\B"), reg::kFileNotFound);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\A"), 0);
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\A"));
    // A handle to a key deleted meanwhile reports it.
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\Gone", reg::kAllSpecificRights, key), 0);
    ASSERT_EQ(r.DeleteKey(kHkcu, scratch + "\\Gone"), 0);
    const uint8_t one = 1;
    EXPECT_EQ(r.SetValue(key, "v", reg::kBinary, &one, 1), 1018);
    EXPECT_EQ(r.CloseKey(key), 0);
}

TEST_F(RegistryContract, ValuesKeepTypeAndSizeAndReportMoreData) {
    // "héllo" with its NUL: seven bytes of UTF-8.
    const std::string hello("h\xC3\xA9llo", 7);
    ASSERT_EQ(PutRaw(scratch, "Text", reg::kSz, Bytes(std::string(hello.c_str(), 7))), 0);
    RegKey key = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), 0);
    uint32_t type = 99;
    uint32_t size = 0;
    EXPECT_EQ(r.QueryValue(key, "TEXT", type, nullptr, size), 0);
    EXPECT_EQ(type, reg::kSz);
    EXPECT_EQ(size, 7u);
    uint8_t small[4] = {};
    size = 0;
    EXPECT_EQ(r.QueryValue(key, "Text", type, small, size), reg::kMoreData);
    EXPECT_EQ(size, 7u);
    size = 4;
    EXPECT_EQ(r.QueryValue(key, "Text", type, small, size), reg::kMoreData);
    EXPECT_EQ(size, 7u);
    std::vector<uint8_t> data(7);
    EXPECT_EQ(r.QueryValue(key, "Text", type, data.data(), size), 0);
    EXPECT_EQ(data, Bytes(std::string("h\xC3\xA9llo\0", 7)));
    EXPECT_EQ(r.QueryValue(key, "Missing", type, nullptr, size), reg::kFileNotFound);
    r.CloseKey(key);

    std::vector<uint8_t> got;
    // Multi-strings keep every NUL; Greek text comes back byte for byte.
    ASSERT_EQ(PutRaw(scratch, "Multi", reg::kMultiSz, Bytes(std::string("a\0", 2) + kGreek +
                                                            std::string("\0\0", 2))),
              0);
    EXPECT_EQ(Raw(scratch, "Multi", type, got), 0);
    EXPECT_EQ(type, reg::kMultiSz);
    EXPECT_EQ(got, Bytes(std::string("a\0", 2) + kGreek + std::string("\0\0", 2)));
    // Text without a NUL stays without one.
    ASSERT_EQ(PutRaw(scratch, "Bare", reg::kExpandSz, Bytes("%x%")), 0);
    EXPECT_EQ(Raw(scratch, "Bare", type, got), 0);
    EXPECT_EQ(type, reg::kExpandSz);
    EXPECT_EQ(got, Bytes("%x%"));
    // Binary data is not text: any bytes.
    ASSERT_EQ(PutRaw(scratch, "Bin", reg::kBinary, {0xFF, 0x00, 0xCE}), 0);
    EXPECT_EQ(Raw(scratch, "Bin", type, got), 0);
    EXPECT_EQ(got, (std::vector<uint8_t>{0xFF, 0x00, 0xCE}));
    // Text that is not UTF-8 is refused rather than stored mangled.
    EXPECT_EQ(PutRaw(scratch, "Broken", reg::kSz, {'a', 0xCE, 0}), reg::kNoUnicodeTranslation);
    EXPECT_EQ(Raw(scratch, "Broken", type, got), reg::kFileNotFound);
}

TEST_F(RegistryContract, HandleRightsAreChecked) {
    RegKey key = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), 0);
    const uint8_t one = 1;
    EXPECT_EQ(r.SetValue(key, "v", reg::kBinary, &one, 1), reg::kAccessDenied);
    EXPECT_EQ(r.DeleteValue(key, "v"), reg::kAccessDenied);
    r.CloseKey(key);
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kAllSpecificRights, key), 0);
    EXPECT_EQ(r.SetValue(key, "v", reg::kBinary, &one, 1), 0);
    EXPECT_EQ(r.DeleteValue(key, "V"), 0);
    EXPECT_EQ(r.DeleteValue(key, "v"), reg::kFileNotFound);
    r.CloseKey(key);
}

TEST_F(RegistryContract, EnumerationNamesSizesAndOrder) {
    RegKey key = 0;
    for (const char* sub : {"b", "C", "a"}) {
        ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\" + sub, reg::kAllSpecificRights, key), 0);
        r.CloseKey(key);
    }
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kEnumerateSubKeys | reg::kQueryValue, key), 0);
    char name[64];
    std::vector<std::string> keys;
    int32_t last = 0;
    for (uint32_t i = 0; (last = r.EnumKey(key, i, name, sizeof name)) == 0; ++i) {
        keys.push_back(name);
    }
    EXPECT_EQ(last, reg::kNoMoreItems);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "C"}));
    EXPECT_EQ(r.EnumKey(key, 0, name, 1), reg::kMoreData);  // "a" needs two bytes with its NUL
    r.CloseKey(key);

    // Values created in name order, so that every registry lists them alike.
    const std::string longName = "x" + kGreek;  // 17 bytes of UTF-8, 9 characters
    ASSERT_EQ(PutRaw(scratch, longName, reg::kBinary, {1}), 0);
    ASSERT_EQ(PutRaw(scratch, "y", reg::kBinary, {2}), 0);
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), 0);
    uint32_t longest = 0;
    ASSERT_EQ(r.QueryInfoKey(key, longest), 0);
    EXPECT_GE(longest, longName.size());
    std::vector<char> buffer(longest + 1);
    std::vector<std::string> values;
    for (uint32_t i = 0;; ++i) {
        uint32_t length = longest + 1;
        last = r.EnumValue(key, i, buffer.data(), length);
        if (last != 0) break;
        values.emplace_back(buffer.data(), length);
    }
    EXPECT_EQ(last, reg::kNoMoreItems);
    EXPECT_EQ(values, (std::vector<std::string>{longName, "y"}));
    uint32_t tooShort = 5;
    EXPECT_EQ(r.EnumValue(key, 0, buffer.data(), tooShort), reg::kMoreData);
    r.CloseKey(key);
}

TEST_F(RegistryContract, ThirtyTwoBitViewOfLocalMachineSoftwareIsItsWow6432Node) {
    const std::string name = UniqueName("OrvikTest-");
    RegKey key = 0;
    ASSERT_EQ(r.CreateKey(kHklm, "Software\\" + name, reg::kAllSpecificRights | reg::kWow64_32Key,
                          key),
              0);
    r.CloseKey(key);
    EXPECT_TRUE(Exists(kHklm, "Software\\Wow6432Node\\" + name));
    EXPECT_TRUE(Exists(kHklm, "Software\\" + name, reg::kWow64_32Key));
    EXPECT_FALSE(Exists(kHklm, "Software\\" + name));
    EXPECT_FALSE(Exists(kHklm, "Software\\" + name, reg::kWow64_64Key));
    // Other roots have one view only.
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\V", reg::kAllSpecificRights | reg::kWow64_32Key,
                          key),
              0);
    r.CloseKey(key);
    EXPECT_TRUE(Exists(kHkcu, scratch + "\\V", reg::kWow64_64Key));
    EXPECT_EQ(r.DeleteKey(kHklm, "Software\\Wow6432Node\\" + name), 0);
}

// How long an unknown machine takes is bounded by the advapi32 adapter and tested there.
TEST_F(RegistryContract, ConnectingToAnUnknownMachineFails) {
    RegKey key = 1;
    EXPECT_NE(r.ConnectRegistry("\\\\nohost", kHklm, key), 0);
    EXPECT_EQ(key, 0u);
    // No machine name is the local machine: a handle that reads like the local root.
    ASSERT_EQ(r.ConnectRegistry("", kHklm, key), 0);
    RegKey software = 0;
    EXPECT_EQ(r.OpenKey(key, "Software", reg::kQueryValue, software), 0);
    if (software != 0) r.CloseKey(software);
    r.CloseKey(key);
}

TEST_F(RegistryContract, EnvironmentExpansionSizesAndUnknownNames) {
    harness->SetEnvironment("ORVIKCONTRACTDIR", "C:\\Orvik Dir");
    char buffer[64] = {};
    const uint32_t needed = r.ExpandEnvironment("%orvikcontractdir%\\x", nullptr, 0);
    EXPECT_EQ(needed, 15u);  // "C:\Orvik Dir\x" and its NUL
    EXPECT_EQ(r.ExpandEnvironment("%ORVIKCONTRACTDIR%\\x", buffer, 4), 15u);
    EXPECT_EQ(buffer[0], '\0');  // too small: nothing written
    EXPECT_EQ(r.ExpandEnvironment("%ORVIKCONTRACTDIR%\\x", buffer, sizeof buffer), 15u);
    EXPECT_STREQ(buffer, "C:\\Orvik Dir\\x");
    EXPECT_EQ(r.ExpandEnvironment("%ORVIKNOSUCHVAR%|%%|%|" + kGreek, buffer, sizeof buffer),
              23u + kGreek.size());
    EXPECT_EQ(std::string(buffer), "%ORVIKNOSUCHVAR%|%%|%|" + kGreek);
    // The "%" closing an unknown name opens nothing.
    EXPECT_EQ(r.ExpandEnvironment("%A%ORVIKCONTRACTDIR%", buffer, sizeof buffer), 21u);
    EXPECT_STREQ(buffer, "%A%ORVIKCONTRACTDIR%");
}
