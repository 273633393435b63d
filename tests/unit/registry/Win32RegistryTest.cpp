// The advapi32 adapter's own additions: a bound on connecting to another machine.
#include <gtest/gtest.h>

#include <atomic>
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
