// The advapi32 adapter's own additions: text stored as the platform's UTF-16 whatever the code
// page, and a bound on connecting to another machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/win32/registry/Win32Registry.h"

using namespace std::chrono_literals;

TEST(Win32RegistryConnect, ASlowMachineCountsAsUnreachableAfterTheBound) {
    auto calls = std::make_shared<std::atomic<int>>(0);
    Win32Registry registry(100ms, [calls](const std::string& machine, RegKey, RegKey& key) {
        ++*calls;
        if (machine == "\\\\slow") std::this_thread::sleep_for(1500ms);
        key = reg::RootKey(reg::kLocalMachine);  // closing a root is harmless
        return machine == "\\\\nohost" ? 53 : 0;
    });
    RegKey key = 1;
    EXPECT_EQ(registry.ConnectRegistry("\\\\slow", reg::RootKey(reg::kLocalMachine), key), 258);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(registry.ConnectRegistry("\\\\fast", reg::RootKey(reg::kLocalMachine), key), 0);
    EXPECT_EQ(key, reg::RootKey(reg::kLocalMachine));
    EXPECT_EQ(registry.ConnectRegistry("\\\\nohost", reg::RootKey(reg::kLocalMachine), key), 53);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(calls->load(), 3);
}

TEST(Win32RegistryConnect, ThePlatformAnswersAnUnknownMachineWithinTheBound) {
    Win32Registry registry;
    RegKey key = 1;
    const int32_t result =
        registry.ConnectRegistry("\\\\nohost", reg::RootKey(reg::kLocalMachine), key);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, 258) << "the platform itself should answer, not the bound";
    EXPECT_EQ(key, 0u);
}

TEST(Win32RegistryText, GreekReachesTheRegistryAsUtf16OnAnyCodePage) {
    const std::string greek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
    const std::wstring wide = L"\x039A\x03B1\x03BB\x03B7\x03BC\x03AD\x03C1\x03B1";
    const std::wstring path =
        L"Software\\OrvikTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + wide;
    std::printf("[ code page ] ANSI %u\n", GetACP());
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
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
}
