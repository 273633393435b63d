#pragma once
// A scratch key of its own for every test, removed with everything below it afterwards.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "RegistryHarness.h"

inline const RegKey kHkcu = reg::RootKey(reg::kCurrentUser);
inline const RegKey kHklm = reg::RootKey(reg::kLocalMachine);
inline const RegKey kHkcr = reg::RootKey(reg::kClassesRoot);

// A name no other test run uses: time and randomness, as hex.
inline std::string UniqueName(const std::string& prefix) {
    static std::mt19937_64 random(std::random_device{}() ^
                                  static_cast<uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(random()));
    return prefix + buffer;
}

// Removes a key and everything below it through the registry itself; missing keys are fine.
inline void DeleteTree(Registry& r, RegKey root, const std::string& path, uint32_t view = 0) {
    RegKey key = 0;
    if (r.OpenKey(root, path, reg::kEnumerateSubKeys | view, key) != reg::kSuccess) return;
    std::vector<std::string> children;
    char name[1024];
    for (uint32_t i = 0; r.EnumKey(key, i, name, sizeof name) == reg::kSuccess; ++i) {
        children.emplace_back(name);
    }
    r.CloseKey(key);
    for (const auto& child : children) DeleteTree(r, root, path + "\\" + child, view);
    r.DeleteKey(root, path);
}

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(r.CreateKey(kHkcu, scratch, reg::kAllSpecificRights, scratchKey), 0);
    }
    void TearDown() override {
        if (scratchKey != 0) r.CloseKey(scratchKey);
        DeleteTree(r, kHkcu, scratch);
        RegKey left = 0;
        EXPECT_NE(r.OpenKey(kHkcu, scratch, reg::kQueryValue, left), 0) << "scratch key left";
        if (left != 0) r.CloseKey(left);
    }

    // Reads a value raw: type and bytes as the registry hands them over.
    int32_t Raw(const std::string& path, const std::string& name, uint32_t& type,
                std::vector<uint8_t>& data) {
        RegKey key = 0;
        int32_t result = r.OpenKey(kHkcu, path, reg::kQueryValue, key);
        if (result != 0) return result;
        uint32_t size = 0;
        result = r.QueryValue(key, name, type, nullptr, size);
        if (result == 0) {
            data.assign(size, 0);
            result = r.QueryValue(key, name, type, data.data(), size);
        }
        r.CloseKey(key);
        return result;
    }

    int32_t PutRaw(const std::string& path, const std::string& name, uint32_t type,
                   const std::vector<uint8_t>& data) {
        RegKey key = 0;
        int32_t result = r.CreateKey(kHkcu, path, reg::kAllSpecificRights, key);
        if (result != 0) return result;
        result = r.SetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
        r.CloseKey(key);
        return result;
    }

    bool Exists(RegKey root, const std::string& path, uint32_t view = 0) {
        RegKey key = 0;
        const bool found = r.OpenKey(root, path, reg::kQueryValue | view, key) == 0;
        if (key != 0) r.CloseKey(key);
        return found;
    }

    std::unique_ptr<RegistryHarness> harness = MakeRegistryHarness();
    Registry& r = harness->registry();
    const std::string scratch = UniqueName("Software\\OrvikTest-");
    RegKey scratchKey = 0;
};

inline std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}
