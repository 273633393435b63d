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

// A missing program, the scope around a failed start and a short command's output and exit code
// are the launcher contract's test; a missing program's logged text is the silent run's.
TEST(Win32ProcessLauncher, RefusesACommandLineThatWouldStartSomethingElse) {
    win32::Win32ProcessLauncher launcher;
    // A NUL would cut the command short and start something else than the catalogue says.
    EXPECT_EQ(launcher.Start(std::string("cmd.exe\0 /c del x", 17), Style::Hidden, nullptr),
              static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_NE(launcher.Start("", Style::Hidden, nullptr), 0u);
}

// An awaited command gives its exit code; one still running at the bound is left to run on.
TEST(Win32ProcessLauncher, AwaitsTheEndWithinTheBoundAndLeavesALateOneRunning) {
    win32::Win32ProcessLauncher launcher;
    Scratch folder("launcher");
    ProcessLauncher::Ending ending;
    ASSERT_EQ(launcher.StartAndWait(ProbeCommand(folder / "ended", 0ms, 7), Style::Hidden, nullptr,
                                    30s, ending),
              0u);
    EXPECT_TRUE(ending.inTime);
    EXPECT_EQ(ending.exitCode, 7u);
    EXPECT_TRUE(folder.Exists("ended"));

    ending = {true, 9, {}, {}};
    ASSERT_EQ(launcher.StartAndWait(ProbeCommand(folder / "late", 3s), Style::Hidden, nullptr,
                                    300ms, ending),
              0u);
    EXPECT_FALSE(ending.inTime);
    EXPECT_FALSE(folder.Exists("late"));
    EXPECT_TRUE(WaitForProbe(folder / "late"));
}

// Notes when the creation's scope was entered and left.
struct ScopeClock final : StartScope {
    void Enter() override { entered.push_back(GetTickCount()); }
    void Leave() override { left.push_back(GetTickCount()); }
    std::vector<DWORD> entered, left;
};

// The scope holds around the creation alone, never while awaited.
TEST(Win32ProcessLauncher, HoldsTheScopeAroundTheCreationOnly) {
    win32::Win32ProcessLauncher launcher;
    Scratch folder("scope");
    ScopeClock scope;
    ProcessLauncher::Ending ending;
    const DWORD began = GetTickCount();
    ASSERT_EQ(launcher.StartAndWait(ProbeCommand(folder / "slow", 1500ms), Style::Hidden, &scope,
                                    30s, ending),
              0u);
    const DWORD ended = GetTickCount();
    EXPECT_TRUE(ending.inTime);
    EXPECT_GE(ended - began, 1400u);
    ASSERT_EQ(scope.left.size(), 1u);
    EXPECT_LT(scope.left[0] - began, 700u) << "left before the wait";
}

// Each stream is read while the command runs: 200 KB to both must not block it. The last 4 KB of
// each are kept, decoded from the OEM code page and cut on a character boundary.
TEST(Win32ProcessLauncher, ReadsBothStreamsAtOnceAndKeepsTheirEnds) {
    win32::Win32ProcessLauncher launcher;
    Scratch folder("talking");
    // 0x82 is e acute in the OEM code pages of the West (437, 850).
    const UINT page = GetOEMCP();
    const bool western = page == 437 || page == 850;
    std::string bytes, text;
    for (int i = 0; bytes.size() < 200 * 1024; ++i) {
        bytes += "caf\x82 " + std::to_string(i) + "\r\n";
        text += "caf\xC3\xA9 " + std::to_string(i) + "\r\n";
    }
    folder.Write("big.txt", bytes);
    const std::string big = Utf8(folder / "big.txt");
    ProcessLauncher::Ending ending;
    ASSERT_EQ(launcher.StartAndWait("cmd.exe /c type \"" + big + "\" & type \"" + big + "\" 1>&2",
                                    Style::Hidden, nullptr, 60s, ending),
              0u);
    ASSERT_TRUE(ending.inTime);
    EXPECT_EQ(ending.exitCode, 0u);
    for (const std::string* stream : {&ending.output, &ending.errors}) {
        EXPECT_LE(stream->size(), ProcessLauncher::kOutputKept);
        EXPECT_GT(stream->size(), ProcessLauncher::kOutputKept - 4);
        ASSERT_FALSE(stream->empty());
        EXPECT_NE(static_cast<unsigned char>(stream->front()) & 0xC0, 0x80);
        if (western) {
            EXPECT_TRUE(text.ends_with(*stream));
        }
    }
}

// A command that ends while a program it started still holds its output open ends the wait soon
// after; nothing it started is waited for.
TEST(Win32ProcessLauncher, DoesNotWaitForWhatACommandLeftHoldingItsOutput) {
    win32::Win32ProcessLauncher launcher;
    Scratch folder("holder");
    ProcessLauncher::Ending ending;
    const DWORD began = GetTickCount();
    ASSERT_EQ(launcher.StartAndWait(
                  "cmd.exe /c start \"\" /b " + ProbeCommand(folder / "held", 6s) + "& echo gone",
                  Style::Hidden, nullptr, 30s, ending),
              0u);
    EXPECT_LT(GetTickCount() - began, 4000u);
    EXPECT_TRUE(ending.inTime);
    EXPECT_EQ(ending.output.substr(0, 4), "gone");
    EXPECT_TRUE(WaitForProbe(folder / "held"));
}

// Elevated, a program named without a full path is found in the system folders only: never in
// the current folder, where a program of the same name may have been put.
TEST(Win32ProcessLauncher, FindsProgramsInTheSystemFoldersOnlyWhenAsked) {
    Scratch folder("lookup");
    ASSERT_TRUE(CopyFileW(ShowStateProbe().c_str(), (folder / "orvik-here.exe").c_str(), FALSE));
    wchar_t was[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, was);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Folder().c_str()));
    const std::string here = "orvik-here \"" + Utf8(folder / "found") + "\"";
    win32::Win32ProcessLauncher system(win32::ProgramLookup::SystemFoldersOnly);
    win32::Win32ProcessLauncher searching(win32::ProgramLookup::AsProcessStartSearches);
    ProcessLauncher::Ending ending;
    EXPECT_EQ(system.Start(here, Style::Hidden, nullptr),
              static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(system.Start("..\\lookup\\" + here, Style::Hidden, nullptr),
              static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(
        system.StartAndWait("cmd /c echo system& exit 5", Style::Hidden, nullptr, 30s, ending), 0u);
    EXPECT_EQ(ending.exitCode, 5u);
    EXPECT_EQ(system.StartAndWait("\"cmd\" /c echo quoted", Style::Hidden, nullptr, 30s, ending),
              0u);
    EXPECT_EQ(ending.output, "quoted\r\n");
    EXPECT_EQ(searching.Start(here, Style::Hidden, nullptr), 0u);
    EXPECT_TRUE(WaitForProbe(folder / "found"));
    SetCurrentDirectoryW(was);
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

// A query that does not parse is logged with its code and text: the console's whole-program test.
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
