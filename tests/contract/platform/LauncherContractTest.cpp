// The process launcher's contract, held by the double natively and by the real one under Wine:
// the start's scope entered and left once around each creation, a failed one too; a missing
// program is error 2; an awaited command gives its exit code and what it wrote.

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/process/Win32ProcessLauncher.h"
#else
#include "EngineDoubles.h"
#endif

namespace {

constexpr const char* kTalking = "cmd.exe /c echo talking";

std::unique_ptr<ProcessLauncher> Launcher() {
#ifdef _WIN32
    return std::make_unique<win32::Win32ProcessLauncher>();
#else
    auto idle = std::make_unique<IdleProcessLauncher>();
    idle->endings[kTalking] = {true, 0, "talking\r\n", ""};
    return idle;
#endif
}

struct ScopeCount final : StartScope {
    void Enter() override { ++entered, held = true; }
    void Leave() override { ++left, held = false; }
    int entered = 0, left = 0;
    bool held = false;
};

TEST(LauncherContract, ScopesEachCreationAndTellsHowAnAwaitedCommandEnded) {
    const auto launcher = Launcher();
    constexpr auto kHidden = ProcessLauncher::WindowStyle::Hidden;
    ScopeCount scope;
    EXPECT_EQ(launcher->Start("missing.exe /x", kHidden, &scope), 2u);
    EXPECT_EQ(scope.entered, 1);
    EXPECT_FALSE(scope.held);

    ProcessLauncher::Ending ending{true, 9, "old", "old"};
    EXPECT_EQ(
        launcher->StartAndWait("missing.exe", kHidden, &scope, std::chrono::seconds(30), ending),
        2u);
    EXPECT_EQ(ending.output + ending.errors, "") << "nothing of an earlier command";
    ASSERT_EQ(launcher->StartAndWait(kTalking, kHidden, &scope, std::chrono::seconds(30), ending),
              0u);
    EXPECT_TRUE(ending.inTime);
    EXPECT_EQ(ending.exitCode, 0u);
    EXPECT_EQ(ending.output, "talking\r\n");
    EXPECT_EQ(ending.errors, "");
    EXPECT_EQ(scope.entered, 3);
    EXPECT_EQ(scope.left, 3);
    EXPECT_FALSE(scope.held);
}

}  // namespace
