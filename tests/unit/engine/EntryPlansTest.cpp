// The editor's state of each entry: a plan of the entry alone over the registry double, judged
// value by value; the machine is only read and WMI is never asked.

#include <gtest/gtest.h>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "engine/plan/EntryPlans.h"
#include "platform/ProgramSearch.h"
#include "platform/Registry.h"

namespace {

using State = EntryPlan::State;

struct SystemFolderOnly final : ProgramSearch {
    std::vector<std::string> SearchFolders() override { return {"C:\\Windows\\System32"}; }
    bool IsFile(const std::string& path) override {
        return path == "C:\\Windows\\System32\\cmd.exe";
    }
};

}  // namespace

TEST(EntryPlans, EachStateFromTheMachinesValuesWithoutWritingOrAskingWmi) {
    FakeEnvironment env;
    RegistryDouble registry;
    IdleProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;
    SystemFolderOnly programs;
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Orvik\\Plan";
    RegKey open = 0;
    ASSERT_EQ(registry.CreateKey(reg::RootKey(reg::kLocalMachine), "Software\\Orvik\\Plan",
                                 reg::kSetValue, open),
              0);
    const uint8_t one[] = {1, 0, 0, 0}, text[] = {'1', 0};
    registry.SetValue(open, "A", reg::kDword, one, sizeof one);
    registry.SetValue(open, "Text", reg::kSz, text, sizeof text);
    const std::string before = registry.Dump();

    const struct {
        std::vector<RegistryItem> values;
        std::vector<cmdItem> commands;
        State state;
        std::string firstLine;  // as plan shows the first action
    } rows[] = {
        {{{0, key, "A", "1"}},
         {},
         State::Applied,
         "unchanged " + key + "\\A: REG_DWORD 1 -> REG_DWORD 1"},
        {{{0, key, "A", "1"}, {0, key, "B", "1"}}, {}, State::Partly, ""},
        // A value of another type, and one in a key that is missing.
        {{{0, key, "Text", "1"}},
         {},
         State::NotApplied,
         "change " + key + "\\Text: REG_SZ \"1\" -> REG_DWORD 1"},
        {{{1, key + "\\Missing", "S", "on"}},
         {},
         State::NotApplied,
         "set " + key + "\\Missing\\S: (absent) -> REG_SZ \"on\""},
        {{{0, "HKEY_NOWHERE\\X", "A", "1"}, {0, key, "A", "1"}}, {}, State::WouldFail, ""},
        {{},
         {{"C:\\Windows\\System32\\cmd.exe /c exit"}},
         State::NotCheckable,
         "start C:\\Windows\\System32\\cmd.exe /c exit"},
        {{}, {{"C:\\Nowhere\\gone.exe"}}, State::WouldFail, ""},
    };
    for (const auto& row : rows) {
        OptimizationItem entry;
        entry.regItems = row.values;
        entry.cmdItems = row.commands;
        entry.wmiItems = {{"SELECT * FROM Win32_Process", 1}};
        const EntryPlan plan =
            PlanEntry(entry, {env.platform(), registry, processes, wmi, boxes}, programs);
        EXPECT_EQ(plan.state, row.state) << plan.lines.front();
        EXPECT_EQ(plan.failure.empty(), row.state != State::WouldFail) << plan.failure;
        if (!row.firstLine.empty()) {
            EXPECT_EQ(plan.lines.front(), row.firstLine);
        }
    }
    EXPECT_EQ(registry.Dump(), before);
    EXPECT_EQ(wmi.connections, 0);
}
