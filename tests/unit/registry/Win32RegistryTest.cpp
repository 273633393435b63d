// The advapi32 adapter's own additions: UTF-8 in key paths and values meets the platform's UTF-16
// whatever the code page, text that is no UTF-8 is refused, and a connection is bounded in time.
// What the program writes is read back as UTF-16 by the hostile catalogues' run.
#include <windows.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/win32/registry/Win32Registry.h"

TEST(Win32RegistryText, GreekMeetsTheRegistrysUtf16OnAnyCodePage) {
    const std::string greek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
    const std::wstring wide = L"\x039A\x03B1\x03BB\x03B7\x03BC\x03AD\x03C1\x03B1";
    const std::string suffix = "Software\\OrvikTest-" + std::to_string(GetCurrentProcessId()) + "-";
    const std::wstring path = std::wstring(suffix.begin(), suffix.end()) + wide;
    win32::Win32Registry registry;
    RegKey key = 0;
    ASSERT_EQ(registry.CreateKey(reg::RootKey(reg::kCurrentUser), suffix + greek,
                                 reg::kAllSpecificRights, key),
              0);

    // What another program stored in UTF-16, under the key's UTF-16 name, reads as UTF-8, sized
    // as UTF-8.
    const std::wstring other = wide + L" \x20AC";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), wide.c_str(), REG_SZ, other.c_str(),
                              static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    uint32_t type = 0;
    uint32_t size = 0;
    EXPECT_EQ(registry.QueryValue(key, greek, type, nullptr, size), 0);
    const std::string expected = greek + " \xE2\x82\xAC" + '\0';
    EXPECT_EQ(size, expected.size());
    std::string read(size, 'x');
    EXPECT_EQ(registry.QueryValue(key, greek, type, reinterpret_cast<uint8_t*>(read.data()), size),
              0);
    EXPECT_EQ(read, expected);

    // Text that is not UTF-8 is refused rather than stored mangled.
    const uint8_t broken[] = {'a', 0xCE, 0};
    EXPECT_EQ(registry.SetValue(key, "broken", reg::kSz, broken, 3), reg::kNoUnicodeTranslation);
    EXPECT_EQ(registry.SetValue(key, "a\xCE", reg::kBinary, broken, 3), reg::kNoUnicodeTranslation);
    registry.CloseKey(key);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
}

// The platform's call is held until the adapter has given up on it: the answer can only be the
// bound's.
TEST(Win32RegistryConnect, AConnectionStillPendingAtTheBoundFails) {
    struct Gate {
        std::mutex lock;
        std::condition_variable changed;
        bool released = false, finished = false;
    };
    const auto gate = std::make_shared<Gate>();
    auto held = [gate](const std::string&, RegKey, RegKey& key) {
        std::unique_lock<std::mutex> guard(gate->lock);
        gate->changed.wait(guard, [&] { return gate->released; });
        gate->finished = true;
        gate->changed.notify_all();
        key = 0;
        return static_cast<int32_t>(ERROR_BAD_NETPATH);
    };
    win32::Win32Registry registry(std::chrono::milliseconds(20), held);
    RegKey key = 1;
    EXPECT_EQ(registry.ConnectRegistry("\\\\slow", reg::RootKey(reg::kLocalMachine), key),
              WAIT_TIMEOUT);
    EXPECT_EQ(key, 0u);
    std::unique_lock<std::mutex> guard(gate->lock);
    gate->released = true;
    gate->changed.notify_all();
    gate->changed.wait(guard, [&] { return gate->finished; });
}
