// The advapi32 adapter's own additions: text that is no UTF-8 is refused, and a connection is
// bounded in time. UTF-8 meeting the registry's UTF-16: the registry contract.
#include <windows.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/win32/registry/Win32Registry.h"

TEST(Win32RegistryText, TextThatIsNoUtf8IsRefusedRatherThanStoredMangled) {
    const std::string path = "Software\\OrvikTest-" + std::to_string(GetCurrentProcessId());
    win32::Win32Registry registry;
    RegKey key = 0;
    ASSERT_EQ(
        registry.CreateKey(reg::RootKey(reg::kCurrentUser), path, reg::kAllSpecificRights, key), 0);
    const uint8_t broken[] = {'a', 0xCE, 0};
    EXPECT_EQ(registry.SetValue(key, "broken", reg::kSz, broken, 3), reg::kNoUnicodeTranslation);
    EXPECT_EQ(registry.SetValue(key, "a\xCE", reg::kBinary, broken, 3), reg::kNoUnicodeTranslation);
    registry.CloseKey(key);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
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
