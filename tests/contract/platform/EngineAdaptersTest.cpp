// The Windows adapters the runners stand on, against the real platform: process start and WMI.
// Commands started hidden, with names outside the ANSI code page, are the silent run's test.

#include <gtest/gtest.h>

#include <objbase.h>

#include "Harness.h"
#include "platform/win32/process/Win32ProcessLauncher.h"
#include "platform/win32/wmi/Win32Wmi.h"

namespace {

using namespace harness;
using Style = ProcessLauncher::WindowStyle;

// A missing program is logged with its text by the silent run's test.
TEST(Win32ProcessLauncher, RefusesACommandLineThatWouldStartSomethingElse) {
    win32::Win32ProcessLauncher launcher;
    // A NUL would cut the command short and start something else than the catalogue says.
    EXPECT_EQ(launcher.Start(std::string("cmd.exe\0 /c del x", 17), Style::Hidden),
              static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_NE(launcher.Start("", Style::Hidden), 0u);
}

// An awaited command gives its exit code; one still running at the bound is left to run on.
TEST(Win32ProcessLauncher, AwaitsTheEndWithinTheBoundAndLeavesALateOneRunning) {
    win32::Win32ProcessLauncher launcher;
    Scratch folder("launcher");
    ProcessLauncher::Ending ending;
    ASSERT_EQ(
        launcher.StartAndWait(ProbeCommand(folder / "ended", 0ms, 7), Style::Hidden, 30s, ending),
        0u);
    EXPECT_TRUE(ending.inTime);
    EXPECT_EQ(ending.exitCode, 7u);
    EXPECT_TRUE(folder.Exists("ended"));

    ending = {true, 9};
    ASSERT_EQ(
        launcher.StartAndWait(ProbeCommand(folder / "late", 3s), Style::Hidden, 300ms, ending), 0u);
    EXPECT_FALSE(ending.inTime);
    EXPECT_FALSE(folder.Exists("late"));
    EXPECT_TRUE(WaitForProbe(folder / "late"));

    EXPECT_NE(launcher.StartAndWait("C:\\orvik-nowhere\\missing.exe", Style::Hidden, 30s, ending),
              0u);
}

class Win32Wmi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { CoUninitialize(); }

    // The query's count, or -1 with its failure as an HRESULT in result.
    int32_t CountOf(win32::Win32WmiConnector& connector, const std::string& query,
                    int32_t& result) {
        std::unique_ptr<WmiService> service;
        std::unique_ptr<WmiResultSet> set;
        int32_t count = -1;
        if ((result = connector.Connect(service)) < 0) return -1;
        if ((result = service->ExecQuery(query, set)) < 0) return -1;
        return (result = set->Count(count)) < 0 ? -1 : count;
    }

    win32::Win32WmiConnector connector;
};

// A query that does not parse is logged with its code and text by the silent run's test.
TEST_F(Win32Wmi, CountsWhatTheQueryFinds) {
    int32_t result = 0;
    EXPECT_EQ(CountOf(connector, "SELECT * FROM Win32_OperatingSystem", result), 1);
    EXPECT_EQ(
        CountOf(connector, "SELECT * FROM Win32_Process WHERE ProcessId = 4294967295", result), 0);
    // An unknown class never counts as found: Windows refuses it, Wine finds nothing.
    const int32_t unknown = CountOf(connector, "SELECT * FROM Win32_OrvikNoSuchClass", result);
    EXPECT_TRUE(unknown == 0 || (unknown == -1 && result < 0)) << unknown << " " << result;
}

TEST_F(Win32Wmi, SetUnfinishedAtTheBoundFailsInsteadOfCountingPart) {
    // One object per wait and no time at all: a set of several objects cannot finish in time.
    win32::Win32WmiConnector hurried(std::chrono::milliseconds(0), 1);
    int32_t result = 0;
    EXPECT_EQ(CountOf(hurried, "SELECT * FROM Win32_Process", result), -1);
    EXPECT_EQ(result, wmi::kTimedOut);
    EXPECT_FALSE(hurried.ErrorText(wmi::kTimedOut).empty());
}

}  // namespace
