// The runners on the doubles: what Wine cannot pose as (WMI's failures, 64-bit Windows for the
// 32-bit build, services and tasks that refuse or ignore a change).

#include <gtest/gtest.h>

#include "EngineMachine.h"
#include "engine/JournalingRegistry.h"
#include "engine/Outcomes.h"
#include "engine/WMIRunner.h"
#include "engine/regRunner.h"
#include "engine/runner.h"
#include "platform/ForwardingRegistry.h"

namespace {

using Strings = std::vector<std::string>;

struct Machine : EngineMachine {
    const std::string& Log() { return env.files.files["C:\\Tools\\SarnetLog.txt"]; }
};

TEST(WMIRunner, WarnsWhenTheCountReachesTheLevelAndNeverCountsTheUnexamined) {
    Machine f;
    f.wmi.answers["three"] = {0, 3, 0};
    f.wmi.answers["uncountable"] = {0, 0, static_cast<int32_t>(0x80041003u)};
    WMIRunner(f.Engine())
        .Run({{"three", 3},
              {"three", 4},
              {"none", 0},
              {"none", -5},
              {"none", 1},
              {"three", 32767},
              {"uncountable", 9999},
              {"three", 9999}});
    EXPECT_EQ(f.boxes.shown,
              (Strings{"three Was more then or equal to 3", "none Was more then or equal to 0",
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
        {{static_cast<int32_t>(0x80041017u), 0, 0},
         -1,
         "-2147217385, Source = Orvik.WMIRunner: "
         "wmi text 0x80041017"},
        {{0, 0, 0}, 1, "-2147217405, Source = Orvik.WMIRunner: wmi text 0x80041003"},
        // A count that failed must not be taken as 0.
        {{0, 0, wmi::kTimedOut}, -1, "-2147217303, Source = Orvik.WMIRunner: wmi text 0x80041069"},
    };
    for (const auto& failure : failures) {
        Machine f;
        f.wmi.answers["bad"] = failure.answer;
        f.wmi.connectionsBeforeFailure = failure.connectionsBeforeFailure;
        WMIRunner(f.Engine()).Run({{"first", 9999}, {"bad", 1}, {"third", 0}});
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
    ASSERT_EQ(
        journaled.CreateKey(reg::RootKey(reg::kCurrentUser), "Software\\X", reg::kSetValue, key),
        0);
    const uint8_t data[] = {'1', 0};
    EXPECT_EQ(journaled.SetValue(key, "V", reg::kSz, data, 2), reg::kAccessDenied);
    EXPECT_EQ(journaled.DeleteValue(key, "V"), reg::kAccessDenied);
    EXPECT_EQ(journal.changes, 0);
}

// Commands start with redirection off, which is back on while they are awaited and when the
// list ends however it ends. The same rows hold for a 64-bit program.
TEST(runner, AsA32BitProgramOn64BitWindowsWritesThe64BitViewAndRestoresRedirection) {
    const char* key = "HKEY_LOCAL_MACHINE\\Software\\Orvik\\Wow";
    const struct {
        const char* name;
        std::vector<RegistryItem> values;
        std::vector<cmdItem> commands;
        size_t tried, started;   // the starts tried, and those that started
        const char* dwordAfter;  // D's data after the run
    } rows[] = {
        {"a value written", {{0, key, "D", "7"}}, {}, 0, 0, "7"},
        {"every command started", {}, {{"a.exe"}, {"b.exe"}}, 2, 2, "old"},
        {"a failed start ends the list", {}, {{"a.exe"}, {"missing.exe"}, {"c.exe"}}, 2, 1, "old"},
    };
    for (const bool wow64 : {true, false}) {
        for (const auto& row : rows) {
            for (const bool awaited : {false, true}) {
                Machine f;
                f.env.system.wow64 = f.registry.wow64Process = wow64;
                std::vector<bool> offAtStart, offWhileAwaited;
                f.processes.inScope = [&] {
                    offAtStart.push_back(f.env.system.redirectionOff > 0);
                };
                f.processes.whileAwaited = [&] {
                    offWhileAwaited.push_back(f.env.system.redirectionOff > 0);
                };
                RegKey open = 0;
                ASSERT_EQ(
                    f.registry.CreateKey(reg::RootKey(reg::kLocalMachine), "Software\\Orvik\\Wow",
                                         reg::kSetValue | reg::kWow64_64Key, open),
                    0);
                const uint8_t old[] = {'o', 'l', 'd', 0};
                f.registry.SetValue(open, "D", reg::kSz, old, sizeof old);
                auto item = std::make_shared<OptimizationItem>();
                item->Enabled = true;
                item->regItems = row.values;
                item->cmdItems = row.commands;
                const auto limit =
                    awaited ? std::optional(std::chrono::milliseconds(1)) : std::nullopt;
                runner(f.Engine(), nullptr, limit).RunOptimizations({item});

                const std::string at = std::string(row.name) + (wow64 ? " (WOW64)" : " (64-bit)") +
                                       (awaited ? " awaited" : "");
                const auto stored = f.registry.Stored(key, "D");
                ASSERT_TRUE(stored) << at;
                EXPECT_EQ(stored->data[0], row.dwordAfter[0] == '7' ? 7 : 'o') << at;
                EXPECT_FALSE(
                    f.registry.Stored("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Orvik\\Wow", "D"))
                    << at;
                EXPECT_EQ(offAtStart, std::vector<bool>(row.tried, wow64)) << at;
                EXPECT_EQ(offWhileAwaited, std::vector<bool>(awaited ? row.started : 0, false))
                    << at;
                EXPECT_EQ(f.env.system.redirectionOff, 0) << at;
            }
        }
    }
}

// Refuses every write of the value "A".
struct RefusesA final : ForwardingRegistry {
    using ForwardingRegistry::ForwardingRegistry;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override {
        return name == "A" ? 5 : ForwardingRegistry::SetValue(key, name, type, data, size);
    }
};

struct Outcomes final : RunObserver {
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override {
        text += (text.empty() ? "" : " ") + record.registry->ValueName + ":" +
                (record.user.empty() ? "" : record.user + ":") +
                std::to_string(static_cast<int>(record.outcome));
    }
    void EntryEnds(const OptimizationItem&) override {}
    std::string text;
};

TEST(regRunner, AFailureForOneOfTheUsersEndsTheList) {
    for (const bool currentFails : {true, false}) {
        Machine f;
        RegistryDouble other;
        RefusesA refusing(currentFails ? f.registry : other);
        Registry& fine = currentFails ? static_cast<Registry&>(other) : f.registry;
        EnginePlatform platform = f.Engine();
        platform.users = {{"current", currentFails ? &refusing : &fine},
                          {"default", currentFails ? &fine : &refusing}};
        Outcomes outcomes;
        const std::string key = "HKEY_CURRENT_USER\\Software\\Orvik";
        regRunner(platform, &outcomes).Run({{0, key, "A", "1"}, {0, key, "B", "1"}});
        EXPECT_EQ(outcomes.text, currentFails ? "A:current:1 A:default:0 B:current:2 B:default:2"
                                              : "A:current:0 A:default:1 B:current:2 B:default:2");
    }
}

// Each record as "kind:word", the words of an apply.
struct Words final : RunObserver {
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override {
        static const char* kinds[] = {"registry", "service", "task", "command", "wmi"};
        if (!text.empty()) text += ' ';
        text.append(kinds[static_cast<int>(record.kind)]).append(":");
        text.append(engine::OutcomeWord(record, engine::RunMode::Apply));
        if (record.error) errors.append(record.error->Description).append("|");
        if (!record.note.empty()) notes.append(record.note).append("|");
        changed = changed || engine::Changed(record).value_or(false);
    }
    void EntryEnds(const OptimizationItem&) override {}
    std::string text, errors, notes;
    bool changed = false;  // any action
};

}  // namespace

// A change that did not take (as Wine's put_Enabled does) is failed, never applied.
TEST(SystemRunners, EachOutcomeIsReadBackAndOnlyFailuresAreLogged) {
    using services::kAutomatic, services::kManual, services::kDisabled, services::kBoot;
    // "Svc" starts as start/delayed/driver and refuses with refusal or ignores changes; "\T" is
    // enabled or not, refuses or ignores as well; unavailable fails every task call.
    const struct {
        uint32_t start;
        bool delayed, driver;
        uint32_t refusal;
        bool ignores, enabled;
        int32_t taskRefusal;
        bool taskIgnores;
        int32_t unavailable;
        const char *name, *type, *path, *state;  // what the entry asks
        const char* words;
        std::string error;  // the failures' descriptions, "" for none
        uint32_t startAfter;
        bool delayedAfter, enabledAfter;
    } rows[] = {
        {kManual, false, false, 0, false, true, 0, false, 0, "svc", "Disabled", "\\t", "Disabled",
         "service:applied task:applied", "", kDisabled, false, false},
        {kAutomatic, true, false, 0, false, false, 0, false, 0, "Svc", "AutomaticDelayed", "\\T",
         "disabled", "service:applied task:applied", "", kAutomatic, true, false},
        {kAutomatic, false, false, 0, false, true, 0, false, 0, "Svc", "AutomaticDelayed",
         "\\Elsewhere", "Disabled", "service:applied task:absent", "", kAutomatic, true, true},
        {kManual, false, false, 0, false, true, 0, false, 0, "Gone", "Disabled", "\\T", "Enabled",
         "service:absent task:applied", "", kManual, false, true},
        {kManual, false, false, 0, true, true, 0, true, 0, "Svc", "Disabled", "\\T", "Disabled",
         "service:failed task:failed",
         "The change did not take: Svc still starts Manual|The change did not take: the task is "
         "still enabled|",
         kManual, false, true},
        {kManual, false, false, 5, false, true, static_cast<int32_t>(0x80070005u), false, 0, "Svc",
         "Disabled", "\\T", "Disabled", "service:failed task:failed",
         "system text 5|system text -2147024891|", kManual, false, true},
        {kManual, false, false, 0, false, true, 0, false, 0, "Svc", "Sometimes", "\\T", "Off",
         "service:failed task:failed",
         "The start type \"Sometimes\" is not Automatic, AutomaticDelayed, Manual, Disabled, Boot "
         "or System|The state \"Off\" is neither Enabled nor Disabled|",
         kManual, false, true},
        {kManual, false, false, 0, false, true, 0, false, tasks::kUnavailable, "Svc", "Boot", "\\T",
         "Disabled", "service:failed task:failed",
         "Only a driver starts at Boot or System, and Svc is a service|Task Scheduler 2.0 is not "
         "on this Windows: system text -2147221164|",
         kManual, false, true},
        {kManual, false, true, 0, false, true, 0, false, 0, "Svc", "Boot", "\\T", "Enabled",
         "service:applied task:applied", "", kBoot, false, true},
    };
    for (const auto& row : rows) {
        Machine f;
        f.services.services["Svc"] = {
            {{row.start, row.delayed}, row.driver}, row.refusal, row.ignores};
        f.tasks.tasks["\\T"] = {row.enabled, row.taskRefusal, row.taskIgnores};
        f.tasks.unavailable = row.unavailable;
        auto entry = std::make_shared<OptimizationItem>();
        entry->Enabled = true;
        entry->serviceItems = {{row.name, row.type}};
        entry->taskItems = {{row.path, row.state}};
        Words words;
        runner(f.Engine(), &words).RunOptimizations({entry});
        EXPECT_EQ(words.text, row.words) << row.type;
        EXPECT_EQ(words.errors, row.error);
        EXPECT_EQ(f.services.services["Svc"].state.start,
                  (ServiceStart{row.startAfter, row.delayedAfter}))
            << row.type;
        EXPECT_EQ(f.tasks.tasks["\\T"].enabled, row.enabledAfter) << row.state;
        EXPECT_EQ(f.Log().empty(), row.error.empty()) << f.Log();
    }
}

// A running service that is disabled keeps running, and the record says so.
TEST(SystemRunners, OrderWithinAnEntryAndAFailureEndsItsOwnListOnly) {
    Machine f;
    f.services.services["Running"] = {{{services::kAutomatic}, false, true}};
    f.services.services["Refuses"] = {{{services::kManual}}, 1072};
    f.tasks.tasks["\\Ignores"] = {true, 0, true};
    f.tasks.tasks["\\T"] = {true};
    auto entry = std::make_shared<OptimizationItem>();
    entry->Enabled = true;
    entry->regItems = {{0, "HKEY_NOWHERE\\X", "A", "1"}, {0, "HKEY_CURRENT_USER\\X", "B", "1"}};
    entry->serviceItems = {{"Running", "Disabled"}, {"Refuses", "Disabled"}, {"Running", "Manual"}};
    entry->taskItems = {{"\\Ignores", "Disabled"}, {"\\T", "Disabled"}};
    entry->cmdItems = {{"a.exe"}};
    entry->wmiItems = {{"q", 9999}};
    Words words;
    runner(f.Engine(), &words).RunOptimizations({entry});
    EXPECT_EQ(words.text,
              "registry:failed registry:skip service:applied service:failed service:skip "
              "task:failed task:skip command:started wmi:found");
    EXPECT_EQ(words.notes, "it keeps running until it is stopped or Windows starts again|");
    EXPECT_EQ(f.services.changes, (Strings{"Running", "Refuses"}));
    EXPECT_EQ(f.tasks.tasks["\\T"].enabled, true);
    EXPECT_EQ(f.Log(),
              "06.12.202609:15:02 Error 1072, Source = Orvik.ServiceRunner: system text "
              "1072Trace: Service: Refuses Disabled\r\n"
              "06.12.202609:15:02 Error 0, Source = Orvik.TaskRunner: The change did not take: "
              "the task is still enabledTrace: Task: \\Ignores Disabled\r\n");
}

// Stop: after the start type, only when it runs; a refusal leaves the start type set.
TEST(SystemRunners, AStopIsAskedOnlyOfARunningServiceAndCountsAsAChange) {
    using services::kManual, services::kDisabled;
    const struct {
        uint32_t start;
        bool running;
        uint32_t stopRefusal;
        bool changed;
    } rows[] = {{kManual, true, 0, true},    {kDisabled, true, 0, true},
                {kManual, false, 0, true},   {kDisabled, false, 0, false},
                {kManual, true, 1051, true}, {kDisabled, true, 1053, false}};
    for (const auto& row : rows) {
        Machine f;
        f.services.services["Svc"] = {{{row.start}, false, row.running}, 0, false, row.stopRefusal};
        auto entry = std::make_shared<OptimizationItem>();
        entry->Enabled = true;
        entry->serviceItems = {{"Svc", "Disabled", true}};
        Words words;
        runner(f.Engine(), &words).RunOptimizations({entry});
        const std::string refusal = std::to_string(row.stopRefusal);
        EXPECT_EQ(words.text, row.stopRefusal ? "service:failed" : "service:applied") << refusal;
        EXPECT_EQ(words.errors, row.stopRefusal ? "system text " + refusal + "|" : "");
        EXPECT_EQ(words.notes, "");  // no "keeps running": it is stopped
        EXPECT_EQ(f.Log().find("Service: Svc Disabled and stop it") != f.Log().npos,
                  row.stopRefusal != 0);
        EXPECT_EQ(words.changed, row.changed) << refusal;
        EXPECT_EQ(f.services.services["Svc"].state.start.type, kDisabled);
        EXPECT_EQ(f.services.services["Svc"].state.running, row.stopRefusal != 0);
    }
}
