// The editor's state of each entry: a plan of the entry alone over the registry double, judged
// value by value; the machine is only read and WMI is never asked.

#include <gtest/gtest.h>

#include <set>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "RegistryDouble.h"
#include "app/EntryPlans.h"
#include "platform/ProgramSearch.h"
#include "platform/Registry.h"

namespace {

using State = EntryPlan::State;
using Strings = std::vector<std::string>;

class KnownPrograms final : public ProgramSearch {
public:
    std::vector<std::string> SearchFolders() override { return {"C:\\Windows\\System32"}; }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
    std::set<std::string> files{"C:\\Windows\\System32\\cmd.exe"};
};

const char* const kKey = "HKEY_LOCAL_MACHINE\\Software\\Orvik\\Plan";

}  // namespace

TEST(EntryPlans, EachStateFromTheMachinesValuesWithoutWritingOrAskingWmi) {
    FakeEnvironment env;
    RegistryDouble registry;
    IdleProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;
    KnownPrograms programs;
    RegKey key = 0;
    ASSERT_EQ(registry.CreateKey(reg::RootKey(reg::kLocalMachine), "Software\\Orvik\\Plan",
                                 reg::kSetValue, key), 0);
    const uint8_t one[] = {1, 0, 0, 0};
    const uint8_t text[] = {'1', 0};
    registry.SetValue(key, "A", reg::kDword, one, sizeof one);
    registry.SetValue(key, "Text", reg::kSz, text, sizeof text);
    const std::string before = registry.Dump();
    const std::string missing = std::string(kKey) + "\\Missing";

    const struct {
        const char* name;
        std::vector<RegistryItem> values;
        std::vector<cmdItem> commands;
        State state;
        Strings lines;
    } rows[] = {
        {"every value as written", {{0, kKey, "A", "1"}}, {}, State::Applied,
         {"unchanged HKEY_LOCAL_MACHINE\\Software\\Orvik\\Plan\\A: REG_DWORD 1 -> REG_DWORD 1"}},
        {"one of two", {{0, kKey, "A", "1"}, {0, kKey, "B", "1"}}, {}, State::Partly, {}},
        {"a value of another type", {{0, kKey, "Text", "1"}}, {}, State::NotApplied,
         {"change HKEY_LOCAL_MACHINE\\Software\\Orvik\\Plan\\Text: REG_SZ \"1\" -> REG_DWORD 1"}},
        {"a missing key", {{1, missing, "S", "on"}}, {}, State::NotApplied,
         {"set " + missing + "\\S: (absent) -> REG_SZ \"on\""}},
        {"a root that is none", {{0, "HKEY_NOWHERE\\X", "A", "1"}, {0, kKey, "A", "1"}}, {},
         State::WouldFail, {}},
        {"a command and a query only", {}, {{"C:\\Windows\\System32\\cmd.exe /c exit"}},
         State::NotCheckable, {"start C:\\Windows\\System32\\cmd.exe /c exit"}},
        {"a program that is not there", {}, {{"C:\\Nowhere\\gone.exe"}}, State::WouldFail, {}},
    };
    for (const auto& row : rows) {
        OptimizationItem entry;
        entry.regItems = row.values;
        entry.cmdItems = row.commands;
        entry.wmiItems = {{"SELECT * FROM Win32_Process", 1}};
        const EntryPlan plan =
            PlanEntry(entry, {env.platform(), registry, processes, wmi, boxes}, programs);
        EXPECT_EQ(plan.state, row.state) << row.name;
        EXPECT_EQ(plan.failure.empty(), row.state != State::WouldFail) << row.name;
        if (!row.lines.empty()) {
            EXPECT_EQ(plan.lines, row.lines) << row.name;
        }
    }
    EXPECT_EQ(registry.Dump(), before);
    EXPECT_EQ(wmi.connections, 0);
}
