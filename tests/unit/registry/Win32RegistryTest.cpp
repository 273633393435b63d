// The advapi32 adapter's own additions: text stored as the platform's UTF-16 whatever the code
// page, and text that is no UTF-8 refused.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/registry/Win32Registry.h"

TEST(Win32RegistryText, GreekReachesTheRegistryAsUtf16OnAnyCodePage) {
    const std::string greek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
    const std::wstring wide = L"\x039A\x03B1\x03BB\x03B7\x03BC\x03AD\x03C1\x03B1";
    const std::wstring path =
        L"Software\\OrvikTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + wide;
    Win32Registry registry;
    RegKey key = 0;
    const std::string narrowPath = "Software\\OrvikTest-" +
                                   std::to_string(GetCurrentProcessId()) + "-" + greek;
    ASSERT_EQ(registry.CreateKey(reg::RootKey(reg::kCurrentUser), narrowPath,
                                 reg::kAllSpecificRights, key),
              0);
    const std::string data = greek + '\0';
    EXPECT_EQ(registry.SetValue(key, greek, reg::kSz, reinterpret_cast<const uint8_t*>(data.data()),
                                static_cast<uint32_t>(data.size())),
              0);
    registry.CloseKey(key);

    // What the platform holds: the letters in UTF-16 with one NUL.
    wchar_t stored[32] = {};
    DWORD type = 0;
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, path.c_str(), wide.c_str(), RRF_RT_ANY, &type,
                           stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (wide.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(stored), wide);

    // And what another program stored in UTF-16 reads as UTF-8, sized as UTF-8.
    const std::wstring other = wide + L" \x20AC";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"other", REG_SZ, other.c_str(),
                              static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ASSERT_EQ(registry.OpenKey(reg::RootKey(reg::kCurrentUser), narrowPath, reg::kQueryValue, key),
              0);
    uint32_t textType = 0;
    uint32_t textSize = 0;
    EXPECT_EQ(registry.QueryValue(key, "other", textType, nullptr, textSize), 0);
    const std::string expected = greek + " \xE2\x82\xAC" + '\0';
    EXPECT_EQ(textSize, expected.size());
    std::string read(textSize, 'x');
    EXPECT_EQ(registry.QueryValue(key, "other", textType, reinterpret_cast<uint8_t*>(read.data()),
                                  textSize),
              0);
    EXPECT_EQ(read, expected);
    registry.CloseKey(key);

    // Text that is not UTF-8 is refused rather than stored mangled.
    ASSERT_EQ(registry.OpenKey(reg::RootKey(reg::kCurrentUser), narrowPath, reg::kSetValue, key),
              0);
    const uint8_t broken[] = {'a', 0xCE, 0};
    EXPECT_EQ(registry.SetValue(key, "broken", reg::kSz, broken, 3), reg::kNoUnicodeTranslation);
    EXPECT_EQ(registry.SetValue(key, "a\xCE", reg::kBinary, broken, 3),
              reg::kNoUnicodeTranslation);
    registry.CloseKey(key);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
}
