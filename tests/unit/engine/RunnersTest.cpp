// What the whole-program tests cannot reach under Wine, where the program runs as a 64-bit
// process and WMI answers as Wine does: the registry view and file-system redirection of a
// 32-bit program on 64-bit Windows, and every way a WMI query fails or reaches its level.

#include <gtest/gtest.h>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/CmdRunner.h"
#include "engine/WMIRunner.h"
#include "engine/regRunner.h"
#include "registry/cRegistry.h"

namespace {

using Strings = std::vector<std::string>;

struct Engine {
    explicit Engine(bool wow64 = false) : registry(wow64) {
        env.system.wow64 = wow64;
        processes.redirectionProbe = &env.system.redirectionOff;
    }
    EnginePlatform platform() { return {env.platform(), registry, processes, wmi, boxes}; }
    const std::string& Log() { return env.files.files["C:\\Tools\\SarnetLog.txt"]; }

    FakeEnvironment env;
    RegistryDouble registry;
    RecordingProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;
};

TEST(regRunner, ThirtyTwoBitProgramWritesAndReadsTheSixtyFourBitView) {
    Engine f(true);
    RegistryItem item;
    item.Key = "HKEY_LOCAL_MACHINE\\Software\\OrvikTest";
    item.ValueName = "Wide";
    item.Value = "1";
    regRunner(f.platform()).Run({item});
    EXPECT_TRUE(f.registry.Stored(item.Key, "Wide"));
    EXPECT_FALSE(f.registry.Stored("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\OrvikTest", "Wide"));
    GlobalUtils utils(f.env.platform());
    cRegistry registry(f.registry, utils);
    registry.ClassKey(reg::kLocalMachine);
    registry.SectionKey("Software\\OrvikTest");
    EXPECT_EQ(registry.ValueByName("Wide"), Variant(int32_t{1}));
}

TEST(CmdRunner, RedirectionIsOffWhileCommandsStartAndBackOnAfterTheFirstFailure) {
    Engine f(true);
    f.processes.failures["C:\\missing\\tool.exe /x"] = 2;
    const std::vector<cmdItem> items = {{"first.exe"}, {"C:\\missing\\tool.exe /x"}, {"never.exe"}};
    CmdRunner(f.platform()).Run(items);
    ASSERT_EQ(f.processes.started.size(), 1u);
    EXPECT_TRUE(f.processes.started[0].redirectionOff);
    EXPECT_EQ(f.processes.tried.size(), 2u);
    EXPECT_EQ(f.Log(), "06.12.202609:15:02 Error 2, Source = Orvik.CmdRunner: system text 2Trace: "
                       "Command: C:\\missing\\tool.exe /x\r\n");
    // Switched back on, with the state that was saved, though the list ended early.
    EXPECT_EQ(f.env.system.redirectionCalls, (Strings{"off", "on:saved"}));

    // On 32-bit Windows there is nothing to switch.
    Engine plain;
    CmdRunner(plain.platform()).Run(items);
    EXPECT_TRUE(plain.env.system.redirectionCalls.empty());
}

TEST(WMIRunner, WarnsWhenTheCountReachesTheLevelAndNeverCountsTheUnexamined) {
    Engine f;
    f.wmi.answers["three"] = {0, 3, 0};
    f.wmi.answers["uncountable"] = {0, 0, static_cast<int32_t>(0x80041003u)};
    WMIRunner(f.platform())
        .Run({{"three", 3}, {"three", 4}, {"none", 0}, {"none", -5}, {"none", 1},
              {"three", 32767}, {"uncountable", 9999}, {"three", 9999}});
    EXPECT_EQ(f.boxes.shown, (Strings{"three Was more then or equal to 3",
                                      "none Was more then or equal to 0",
                                      "none Was more then or equal to -5"}));
    EXPECT_EQ(f.wmi.counted.size(), 6u);
    EXPECT_EQ(f.wmi.connections, 8) << "a fresh connection per query";
    EXPECT_EQ(f.wmi.openServices, 0);
    EXPECT_EQ(f.Log(), "");
}

TEST(WMIRunner, TheFirstFailureIsLoggedAndEndsTheList) {
    const struct {
        ScriptedWmi::Answer answer;
        int connectionsBeforeFailure;
        const char* error;
    } failures[] = {
        {{static_cast<int32_t>(0x80041017u), 0, 0}, -1, "-2147217385, Source = Orvik.WMIRunner: "
                                                        "wmi text 0x80041017"},
        {{0, 0, 0}, 1, "-2147217405, Source = Orvik.WMIRunner: wmi text 0x80041003"},
        // A count that failed must not be taken as 0.
        {{0, 0, wmi::kTimedOut}, -1, "-2147217303, Source = Orvik.WMIRunner: wmi text 0x80041069"},
    };
    for (const auto& failure : failures) {
        Engine f;
        f.wmi.answers["bad"] = failure.answer;
        f.wmi.connectionsBeforeFailure = failure.connectionsBeforeFailure;
        WMIRunner(f.platform()).Run({{"first", 9999}, {"bad", 1}, {"third", 0}});
        EXPECT_EQ(f.wmi.executed.size(), failure.connectionsBeforeFailure == 1 ? 1u : 2u);
        EXPECT_TRUE(f.boxes.shown.empty());
        EXPECT_EQ(f.Log(), std::string("06.12.202609:15:02 Error ") + failure.error +
                               "Trace:  Command:bad\r\n");
    }
}

}  // namespace
