// Command lines: hidden, not awaited, redirection off around them, the first failure logged.

#include <gtest/gtest.h>

#include "EngineFixture.h"
#include "engine/CmdRunner.h"

namespace {

std::vector<cmdItem> Commands(std::initializer_list<const char*> lines) {
    std::vector<cmdItem> items;
    for (const char* line : lines) items.push_back(cmdItem{line});
    return items;
}

TEST(CmdRunner, StartsEveryCommandHiddenAndVerbatimWithRedirectionOff) {
    EngineFixture f;
    f.env.system.wow64 = true;
    CmdRunner commands(f.platform());

    // No interpreter in front, nothing expanded, quotes and trailing blanks kept.
    commands.Run(Commands({"cmd.exe /c echo %TEMP% > \"C:\\a b.txt\"",
                           "\"C:\\Program Files\\x.exe\" -q ", "sc config x start= disabled"}));

    ASSERT_EQ(f.processes.started.size(), 3u);
    EXPECT_EQ(f.processes.started[0].commandLine, "cmd.exe /c echo %TEMP% > \"C:\\a b.txt\"");
    EXPECT_EQ(f.processes.started[1].commandLine, "\"C:\\Program Files\\x.exe\" -q ");
    for (const auto& start : f.processes.started) {
        EXPECT_EQ(start.style, ProcessLauncher::WindowStyle::Hidden);
        EXPECT_TRUE(start.redirectionOff) << start.commandLine;
    }
    EXPECT_EQ(f.env.system.redirectionCalls, (std::vector<std::string>{"off", "on:saved"}));
    EXPECT_FALSE(f.env.system.redirectionOff);
    EXPECT_TRUE(f.env.files.files.empty()) << "a run without failures logs nothing";
}

TEST(CmdRunner, MissingProgramIsLoggedOnceAndEndsTheListWithRedirectionRestored) {
    EngineFixture f;
    f.env.system.wow64 = true;
    f.processes.failures["C:\\missing\\tool.exe /x"] = 2;
    CmdRunner commands(f.platform());

    commands.Run(Commands({"first.exe", "C:\\missing\\tool.exe /x", "third.exe"}));

    EXPECT_EQ(f.processes.tried,
              (std::vector<std::string>{"first.exe", "C:\\missing\\tool.exe /x"}));
    EXPECT_EQ(f.LogLines(),
              (std::vector<std::string>{"06.12.202609:15:02 Error 2, Source = Orvik.CmdRunner: "
                                        "system text 2Trace: Command: C:\\missing\\tool.exe /x"}));
    // Switched back on, with the state that was saved, though the list ended early.
    EXPECT_EQ(f.env.system.redirectionCalls, (std::vector<std::string>{"off", "on:saved"}));
    EXPECT_FALSE(f.env.system.redirectionOff);

    // The same runner serves the next entry as if nothing had happened.
    commands.Run(Commands({"third.exe"}));
    ASSERT_EQ(f.processes.started.size(), 2u);
    EXPECT_EQ(f.processes.started[1].commandLine, "third.exe");
    EXPECT_TRUE(f.processes.started[1].redirectionOff);
    EXPECT_EQ(f.LogLines().size(), 1u);
}

TEST(CmdRunner, EmptyListAndThirtyTwoBitWindows) {
    EngineFixture f;
    f.env.system.wow64 = true;
    CmdRunner commands(f.platform());
    commands.Run({});
    EXPECT_TRUE(f.processes.tried.empty());
    EXPECT_EQ(f.env.system.redirectionCalls, (std::vector<std::string>{"off", "on:saved"}));

    // On 32-bit Windows there is nothing to switch, also when a start fails.
    EngineFixture plain;
    plain.env.system.wow64 = false;
    plain.processes.failures["bad"] = 3;
    CmdRunner plainCommands(plain.platform());
    plainCommands.Run(Commands({"good", "bad"}));
    EXPECT_TRUE(plain.env.system.redirectionCalls.empty());
    EXPECT_EQ(plain.processes.tried.size(), 2u);
    EXPECT_EQ(plain.LogLines().size(), 1u);
}

}  // namespace
