// The real Orvik.exe -RUN on catalogues written beside a copy of it in a scratch folder: what it
// does to the registry, which processes it starts and how, what it logs. The x86 build runs the
// same cases as a WOW64 process.

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "Harness.h"
#include "platform/win32/common/SystemError.h"

namespace {

using namespace harness;

std::string Item(bool enabled, const std::string& versions, const std::string& registry,
                 const std::string& commands = "", const std::string& queries = "") {
    return Tag("Item", Tag("OSVersion", versions) + Tag("Enabled", enabled ? "True" : "False") +
                           Tag("RegistryEntries", registry) + Tag("CommandLines", commands) +
                           Tag("WMIQueries", queries));
}

class SilentRun : public ::testing::Test {
protected:
    void WriteCatalogue(const std::string& items) {
        folder.Write("OrvikOptimizations.xml", Catalogue(items));
    }
    // Orvik.exe with these arguments, to its end: its exit code, -1 when it had to be ended.
    int64_t Run(const std::string& arguments) {
        Process orvik(exe, arguments);
        const auto code = orvik.Wait();
        EXPECT_EQ(orvik.Out() + orvik.Err(), "") << "a silent run prints nothing";
        return code ? *code : -1;
    }
    // The probe's command line, writing to a file of this name in the scratch folder.
    std::string Probe(const std::string& name) const { return ProbeCommand(folder / name); }

    Scratch folder{"e2e"};
    ScratchKey key{"e2e"};
    const fs::path exe = folder.CopyOrvik();
};

TEST_F(SilentRun, CommandsStartHiddenAndAMissingProgramIsLoggedWithTheSystemsDate) {
    // Outside the ANSI code page: the name must reach the process exactly.
    const char* const unusual = "hidden-\xCE\xA9 m\xC3\xA4rker";
    const std::string missing = "C:\\orvik-nowhere\\missing.exe /quiet";
    // The system folder's cmd.exe is the 64-bit one also for the shipping build.
    const std::string architecture =
        "C:\\Windows\\System32\\cmd.exe /c set PROCESSOR_ARCHITECTURE>\"" + Utf8(folder / "arch") +
        "\"";
    WriteCatalogue(Item(true, "All", "",
                        Command(architecture) + Command(Probe(unusual)) + Command(missing) +
                            Command(Probe("three"))) +
                   Item(true, "All", "", Command(Probe("next"))));

    const SYSTEMTIME before = LocalNow();
    EXPECT_EQ(Run("-RUN"), 1);
    const SYSTEMTIME after = LocalNow();

    for (const char* started : {unusual, "next"}) {
        const auto how = WaitForProbe(folder / started);
        ASSERT_TRUE(how) << started;
        EXPECT_TRUE(how->showWindowFlag) << started;
        EXPECT_EQ(how->showWindow, SW_HIDE) << started;
    }
    EXPECT_TRUE(WaitFor([&] { return folder.Read("arch") == "PROCESSOR_ARCHITECTURE=AMD64\r\n"; }))
        << folder.Read("arch");
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(folder.Exists("three"));
    const std::vector<std::string> lines = LogLines(folder.Folder());
    ASSERT_EQ(lines.size(), 1u);
    const auto line = WithoutStamp(lines[0], before, after);
    ASSERT_TRUE(line) << "no date and time of the run in front: " << lines[0];
    // Wine does not tell a missing program's 2 from a missing folder's 3 reliably.
    auto expected = [&](uint32_t code) {
        return " Error " + std::to_string(code) +
               ", Source = Orvik.CmdRunner: " + win32::SystemErrorText(code) +
               "Trace: Command: " + missing;
    };
    EXPECT_TRUE(*line == expected(2) || *line == expected(3)) << *line;
}

TEST_F(SilentRun, WarningBoxHaltsTheRunUntilConfirmed) {
    if (!CanShowWindows()) GTEST_SKIP() << "no display: message boxes return at once";
    const std::string query = "SELECT * FROM Win32_OperatingSystem";
    WriteCatalogue(Item(true, "All", "", "", Query(query, 1)) +
                   Item(true, "All", RegistryEntry(key.Name(), "after", "DWORD", "7")));

    Process orvik(exe, "-RUN");
    HWND box = WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), query + " Was more then or equal to 1");
    // The run waits for the user: still running, the next entry not applied yet.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(orvik.Running());
    EXPECT_EQ(key.Dword("", "after"), -1);

    Press(box);
    EXPECT_EQ(orvik.Wait(), 0u);
    EXPECT_EQ(key.Dword("", "after"), 7);
    EXPECT_FALSE(folder.Exists("SarnetLog.txt"));
}

// What the editor lists is what runs: the running version's entries, All, and those of the
// version it was taken for before it had a name of its own, a server told by its product type.
// Of the others nothing is said, not even in the log, which holds failures only.
TEST_F(SilentRun, AppliesOnlyTheEnabledEntriesOfferedOnThisWindows) {
    const auto entry = [&](bool enabled, const std::string& versions, const std::string& name) {
        return Item(enabled, versions, RegistryEntry(key.Name(), name, "DWORD", "1"),
                    Command(Probe(name)));
    };
    WriteCatalogue(
        entry(false, "All", "disabled") + entry(true, "WindowsXP WindowsServer2003R2", "xp") +
        entry(true, "Windows7", "seven") + entry(true, "Windows8", "eight") +
        entry(true, "Windows10", "ten") + entry(true, "Windows 7", "misspelt") +
        entry(true, "WindowsXP All", "all") + entry(true, "WindowsServer2008", "server2008") +
        entry(true, "WindowsServer2008R2", "r2"));
    const struct {
        const char* wine;
        std::set<std::string> applied;
    } rows[] = {
        {"win7", {"seven", "all"}},
        {"win10", {"eight", "ten", "all"}},
        {"win2008r2", {"server2008", "r2", "all"}},  // a server by its product type
    };
    for (const auto& row : rows) {
        WineVersion version(row.wine);
        ASSERT_TRUE(version.Set()) << row.wine;
        key.Clear();
        EXPECT_EQ(Run("-run"), 0);  // any letter case
        std::set<std::string> written;
        for (const StoredValue& value : key.Values()) written.insert(value.name);
        EXPECT_EQ(written, row.applied) << row.wine;
    }
    std::this_thread::sleep_for(500ms);
    for (const char* name : {"disabled", "xp", "misspelt"}) EXPECT_FALSE(folder.Exists(name));
    EXPECT_FALSE(folder.Exists("SarnetLog.txt"));
}

}  // namespace
