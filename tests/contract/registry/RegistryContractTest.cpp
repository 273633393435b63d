// The Registry interface as the product's paths use it: what the double must do as advapi32
// does.
#include "RegistryFixture.h"

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
}

TEST_F(RegistryContract, ValuesKeepTypeAndSizeAndReportMoreData) {
    // "héllo" with its NUL: seven bytes of UTF-8.
    const std::string hello("h\xC3\xA9llo", 7);
    ASSERT_EQ(PutRaw(scratch, "Text", reg::kSz, Bytes(hello)), 0);
    RegKey key = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), 0);
    uint32_t type = 99;
    uint32_t size = 0;
    EXPECT_EQ(r.QueryValue(key, "TEXT", type, nullptr, size), 0);
    EXPECT_EQ(type, reg::kSz);
    EXPECT_EQ(size, 7u);
    uint8_t small[4] = {};
    for (uint32_t capacity : {0u, 4u}) {
        size = capacity;
        EXPECT_EQ(r.QueryValue(key, "Text", type, small, size), reg::kMoreData);
        EXPECT_EQ(size, 7u);
    }
    std::vector<uint8_t> data(7);
    EXPECT_EQ(r.QueryValue(key, "Text", type, data.data(), size), 0);
    EXPECT_EQ(data, Bytes(hello));
    EXPECT_EQ(r.QueryValue(key, "Missing", type, nullptr, size), reg::kFileNotFound);
    r.CloseKey(key);

    // Multi-strings keep every NUL and Greek text its bytes; text without a NUL stays without
    // one; binary data is any bytes.
    const std::pair<uint32_t, std::vector<uint8_t>> values[] = {
        {reg::kMultiSz, Bytes(std::string("a\0", 2) + kGreek + std::string("\0\0", 2))},
        {reg::kExpandSz, Bytes("%x%")},
        {reg::kBinary, {0xFF, 0x00, 0xCE}}};
    for (const auto& [stored, bytes] : values) {
        std::vector<uint8_t> got;
        ASSERT_EQ(PutRaw(scratch, "v", stored, bytes), 0);
        EXPECT_EQ(Raw(scratch, "v", type, got), 0);
        EXPECT_EQ(type, stored);
        EXPECT_EQ(got, bytes);
    }
}

// Text as the registry stores it: UTF-16, NULs and all; written so, it reads back as its UTF-8.
TEST_F(RegistryContract, TextAsStoredIsUtf16) {
    const std::string text = std::string("a\0", 2) + kGreek + std::string("\0\0", 2);
    std::vector<uint8_t> utf16 = {'a', 0, 0, 0};
    for (const uint16_t unit : {0x39A, 0x3B1, 0x3BB, 0x3B7, 0x3BC, 0x3AD, 0x3C1, 0x3B1, 0, 0}) {
        utf16.insert(utf16.end(),
                     {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)});
    }
    RegKey key = 0;
    ASSERT_EQ(r.CreateKey(kHkcu, scratch, reg::kAllSpecificRights, key), 0);
    ASSERT_EQ(r.SetStored(key, "Multi", reg::kMultiSz, utf16), 0);
    uint32_t type = 0;
    std::vector<uint8_t> got;
    EXPECT_EQ(Raw(scratch, "Multi", type, got), 0);
    EXPECT_EQ(got, Bytes(text));
    got.clear();
    EXPECT_EQ(r.QueryStored(key, "MULTI", type, got), 0);
    EXPECT_EQ(type, reg::kMultiSz);
    EXPECT_EQ(got, utf16);
    EXPECT_EQ(r.QueryStored(key, "Missing", type, got), reg::kFileNotFound);
    r.CloseKey(key);
}

TEST_F(RegistryContract, HandleRightsAreChecked) {
    RegKey key = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), reg::kFileNotFound);
    ASSERT_EQ(r.CreateKey(kHkcu, scratch, reg::kQueryValue, key), 0);
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

TEST_F(RegistryContract, EnvironmentExpansionSizesAndUnknownNames) {
    SetTestEnvironment(r, "ORVIKCONTRACTDIR", "C:\\Orvik Dir");
    char buffer[64] = {};
    EXPECT_EQ(r.ExpandEnvironment("%orvikcontractdir%\\x", nullptr, 0), 15u);  // and its NUL
    EXPECT_EQ(r.ExpandEnvironment("%ORVIKCONTRACTDIR%\\x", buffer, 4), 15u);
    EXPECT_EQ(buffer[0], '\0');  // too small: nothing written
    EXPECT_EQ(r.ExpandEnvironment("%ORVIKCONTRACTDIR%\\x", buffer, sizeof buffer), 15u);
    EXPECT_STREQ(buffer, "C:\\Orvik Dir\\x");
    // An unknown name stays, and the "%" closing it opens nothing.
    for (const std::string& text :
         {"%ORVIKNOSUCHVAR%|%%|%|" + kGreek, std::string("%A%ORVIKCONTRACTDIR%")}) {
        EXPECT_EQ(r.ExpandEnvironment(text, buffer, sizeof buffer), text.size() + 1);
        EXPECT_EQ(std::string(buffer), text);
    }
}

// What undo asks of a key that a run made: whether a sub key or a value (the default one too) is
// left in it, and then to delete it, which only a key without sub keys allows.
TEST_F(RegistryContract, KeysAreListedAndOnlyThoseWithoutSubKeysDeleted) {
    RegKey key = 0;
    ASSERT_EQ(r.CreateKey(kHkcu, scratch + "\\A\\B", reg::kAllSpecificRights, key), 0);
    r.CloseKey(key);
    const uint32_t listing = reg::kQueryValue | reg::kEnumerateSubKeys;
    char name[8] = {};
    uint32_t length = sizeof name;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch + "\\A", listing, key), 0);
    EXPECT_EQ(r.EnumKey(key, 0, name, sizeof name), 0);
    EXPECT_STRCASEEQ(name, "B");
    EXPECT_EQ(r.EnumKey(key, 0, name, 1), reg::kMoreData);
    EXPECT_EQ(r.EnumKey(key, 1, name, sizeof name), reg::kNoMoreItems);
    EXPECT_EQ(r.EnumValue(key, 0, name, length), reg::kNoMoreItems);
    r.CloseKey(key);
    EXPECT_NE(r.DeleteKey(kHkcu, scratch + "\\A", reg::kWow64_64Key), 0);

    ASSERT_EQ(PutRaw(scratch + "\\A\\B", "", reg::kSz, Bytes(std::string("x\0", 2))), 0);
    ASSERT_EQ(r.OpenKey(kHkcu, scratch + "\\A\\B", listing, key), 0);
    EXPECT_EQ(r.EnumKey(key, 0, name, sizeof name), reg::kNoMoreItems);
    length = 1;
    EXPECT_EQ(r.EnumValue(key, 0, name, length), 0);
    EXPECT_EQ(length, 0u);
    r.CloseKey(key);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\a\\b", reg::kWow64_64Key), 0);
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\A", 0), 0);
    EXPECT_FALSE(Exists(kHkcu, scratch + "\\A"));
    EXPECT_EQ(r.DeleteKey(kHkcu, scratch + "\\A", 0), reg::kFileNotFound);
}

// The longest value name bounds them all. No machine name is this machine, and one that does not
// exist fails at once as a bad network path, not when the adapter's bound runs out.
TEST_F(RegistryContract, LongestValueNameAndConnections) {
    const std::string longName = "x" + kGreek;  // 17 bytes of UTF-8
    ASSERT_EQ(PutRaw(scratch, longName, reg::kBinary, {1}), 0);
    ASSERT_EQ(PutRaw(scratch, "y", reg::kBinary, {2}), 0);
    RegKey key = 0;
    ASSERT_EQ(r.OpenKey(kHkcu, scratch, reg::kQueryValue, key), 0);
    uint32_t longest = 0;
    EXPECT_EQ(r.QueryInfoKey(key, longest), 0);
    EXPECT_GE(longest, longName.size());
    r.CloseKey(key);

    const std::pair<const char*, int32_t> machines[] = {{"", 0}, {"\\\\orvik-no-such-host", 53}};
    for (const auto& [machine, result] : machines) {
        RegKey remote = 1;
        EXPECT_EQ(r.ConnectRegistry(machine, reg::RootKey(reg::kLocalMachine), remote), result);
        EXPECT_EQ(remote != 0, result == 0) << machine;
        if (remote != 0) r.CloseKey(remote);
    }
}
