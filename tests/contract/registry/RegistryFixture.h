#pragma once
// A scratch key of its own for every test, removed with everything below it afterwards.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RegistryHarness.h"

inline const RegKey kHkcu = reg::RootKey(reg::kCurrentUser);
// Καλημέρα
inline const std::string kGreek =
    "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";

// A name no other test run uses.
inline std::string UniqueName(const std::string& prefix) {
    static std::mt19937_64 random(std::random_device{}());
    return prefix + std::to_string(random());
}

inline std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

class RegistryContract : public ::testing::Test {
protected:
    void TearDown() override { RemoveTestKey(kHkcu, scratch); }

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

    bool Exists(RegKey root, const std::string& path) {
        RegKey key = 0;
        const bool found = r.OpenKey(root, path, reg::kQueryValue, key) == 0;
        if (key != 0) r.CloseKey(key);
        return found;
    }

    std::unique_ptr<Registry> registry = MakeTestRegistry();
    Registry& r = *registry;
    const std::string scratch = UniqueName("Software\\OrvikTest-");
};
