// The Windows adapters the runners stand on, against the real platform: process start and WMI.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/win32/common/WideText.h"
#include "platform/win32/process/Win32ProcessLauncher.h"
#include "platform/win32/wmi/Win32Wmi.h"

namespace {

using namespace std::chrono_literals;

std::string ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"orvik-adapters-" +
                          std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return win32::Narrow(folder);
}

bool AppearsWithin(const std::string& path, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (GetFileAttributesW(win32::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST(Win32ProcessLauncher, StartsTheCommandLineAsGivenWithUnicodeIntact) {
    win32::Win32ProcessLauncher launcher;
    const std::string folder = ScratchFolder();
    // A name outside the ANSI code page: the command line must reach the process exactly.
    const std::string marker = folder + "\\m\xC3\xA4rker-\xCE\xA9.txt";
    EXPECT_EQ(launcher.Start("cmd.exe /c echo started> \"" + marker + "\"",
                             ProcessLauncher::WindowStyle::Hidden),
              0u);
    EXPECT_TRUE(AppearsWithin(marker, 15s));
    DeleteFileW(win32::Widen(marker).c_str());
    RemoveDirectoryW(win32::Widen(folder).c_str());
}

TEST(Win32ProcessLauncher, FailuresComeBackAsWindowsErrorsWithText) {
    win32::Win32ProcessLauncher launcher;
    const uint32_t missing =
        launcher.Start("C:\\orvik-nowhere\\missing.exe /q", ProcessLauncher::WindowStyle::Hidden);
    EXPECT_TRUE(missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) << missing;
    const std::string text = launcher.ErrorText(missing);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');

    // A NUL would cut the command short and start something else than the catalogue says.
    EXPECT_EQ(launcher.Start(std::string("cmd.exe\0 /c del x", 17),
                             ProcessLauncher::WindowStyle::Hidden),
              static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_NE(launcher.Start("", ProcessLauncher::WindowStyle::Hidden), 0u);
}

class Win32Wmi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }

    // The query's count, or its failure as an HRESULT in result.
    int32_t CountOf(const std::string& query, int32_t& result) {
        std::unique_ptr<WmiService> service;
        result = connector.Connect(service);
        if (result < 0) return -1;
        std::unique_ptr<WmiResultSet> set;
        result = service->ExecQuery(query, set);
        if (result < 0) return -1;
        int32_t count = -1;
        result = set->Count(count);
        return result < 0 ? -1 : count;
    }

    win32::Win32WmiConnector connector;
};

TEST_F(Win32Wmi, CountsWhatTheQueryFinds) {
    int32_t result = 0;
    EXPECT_EQ(CountOf("SELECT * FROM Win32_OperatingSystem", result), 1);
    EXPECT_EQ(result, 0);
    EXPECT_GE(CountOf("SELECT * FROM Win32_Process", result), 1);
    EXPECT_EQ(result, 0);
    // Nothing found counts 0, not a failure.
    EXPECT_EQ(CountOf("SELECT * FROM Win32_Process WHERE ProcessId = 4294967295", result), 0);
}

TEST_F(Win32Wmi, RefusedQueryFailsWithItsCode) {
    int32_t result = 0;
    EXPECT_EQ(CountOf("SELEC broken", result), -1);
    EXPECT_EQ(result, static_cast<int32_t>(0x80041017u));
    const std::string text = connector.ErrorText(result);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    // An unknown class never counts as found: Windows refuses it, Wine finds nothing.
    const int32_t unknown = CountOf("SELECT * FROM Win32_OrvikNoSuchClass", result);
    EXPECT_TRUE(unknown == 0 || (unknown == -1 && result < 0)) << unknown << " " << result;
}

TEST_F(Win32Wmi, SetUnfinishedAtTheBoundFailsInsteadOfCountingPart) {
    // One object per wait and no time at all: a set of several objects cannot finish in time.
    win32::Win32WmiConnector hurried(std::chrono::milliseconds(0), 1);
    std::unique_ptr<WmiService> service;
    ASSERT_EQ(hurried.Connect(service), 0);
    std::unique_ptr<WmiResultSet> set;
    ASSERT_EQ(service->ExecQuery("SELECT * FROM Win32_Process", set), 0);
    int32_t count = -1;
    EXPECT_EQ(set->Count(count), wmi::kTimedOut);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(hurried.ErrorText(wmi::kTimedOut).empty());
}

}  // namespace
