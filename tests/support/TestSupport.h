#pragma once
// Helpers shared by the suites that run on both sides.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <objbase.h>
#endif

namespace testsupport {

#ifdef _WIN32
// MSXML needs COM on the test thread, as the program initialises it at start-up.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};
inline const auto* const kComEnvironment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);
#endif

// A path as the program's own UTF-8 text.
inline std::string Utf8(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace testsupport
