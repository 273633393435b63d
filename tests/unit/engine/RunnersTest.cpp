// What the whole-program tests cannot reach under Wine, where WMI answers as Wine does: every way
// a WMI query fails or reaches its level; a value the journal cannot read.

#include <gtest/gtest.h>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/JournalingRegistry.h"
#include "engine/WMIRunner.h"

namespace {

using Strings = std::vector<std::string>;

struct Engine {
    EnginePlatform platform() { return {env.platform(), registry, processes, wmi, boxes}; }
    const std::string& Log() { return env.files.files["C:\\Tools\\SarnetLog.txt"]; }

    FakeEnvironment env;
    RegistryDouble registry;
    IdleProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;
};

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

// A value whose state cannot be read (here: through a key without the right to query) is neither
// written nor deleted: the journal would record it as absent, and undo would delete it.
TEST(JournalingRegistry, AValueThatCannotBeReadIsLeftAlone) {
    struct Count final : RegistryJournal {
        int32_t KeysCreating(int32_t, uint32_t, const Strings&) override { return 0; }
        int32_t ValueChanging(const RegistryChange&) override { return ++changes, 0; }
        int changes = 0;
    } journal;
    RegistryDouble machine;
    JournalingRegistry journaled(machine, journal);
    RegKey key = 0;
    ASSERT_EQ(journaled.CreateKey(reg::RootKey(reg::kCurrentUser), "Software\\X", reg::kSetValue,
                                  key),
              0);
    const uint8_t data[] = {'1', 0};
    EXPECT_EQ(journaled.SetValue(key, "V", reg::kSz, data, 2), reg::kAccessDenied);
    EXPECT_EQ(journaled.DeleteValue(key, "V"), reg::kAccessDenied);
    EXPECT_EQ(journal.changes, 0);
}

}  // namespace
