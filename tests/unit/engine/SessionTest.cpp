// The engine's session on the doubles: an entry's state, the editor's journals, undo, the hive.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <tuple>

#include "FakeFileSecurity.h"
#include "SessionDoubles.h"
#include "engine/checks/Sha256.h"
#include "engine/journal/Journal.h"
#include "engine/session/EditorJournals.h"
#include "platform/ForwardingRegistry.h"
#include "platform/Shell.h"

namespace {

using State = EntryPlan::State;
const std::string kKey = "HKEY_CURRENT_USER\\Software\\Orvik\\Plan";

// "Lone" is stored as no whole UTF-16 text: a lone surrogate, which reads as U+FFFD.
struct OddlyStored final : ForwardingRegistry {
    using ForwardingRegistry::ForwardingRegistry;
    int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) override {
        if (name != "Lone") return ForwardingRegistry::QueryStored(key, name, type, data);
        type = reg::kSz;
        data = {0x00, 0xD8, 0, 0};
        return 0;
    }
};

OptimizationItemPtr Entry(const std::string& number, std::vector<RegistryItem> values,
                          std::vector<cmdItem> commands = {}) {
    auto entry = std::make_shared<OptimizationItem>();
    entry->Number = number;
    entry->Enabled = true;
    entry->regItems = std::move(values);
    entry->cmdItems = std::move(commands);
    return entry;
}

// The words of a whole plan, one per action, and each action's error ("-" for none).
struct Words final : engine::SessionObserver {
    void RunStarts(size_t, bool) override {}
    void EntryStarts(const OptimizationItem& entry) override {
        if (starts) starts(entry);
    }
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override {
        words += (words.empty() ? "" : " ") + engine::OutcomeWord(record, engine::RunMode::Plan);
        errors += (record.error ? record.error->Description : "-") + ";";
    }
    void EntryEnds(const OptimizationItem&) override {}
    std::string words, errors;
    std::function<void(const OptimizationItem&)> starts;  // as each entry starts
};

TEST(Session, TheEditorsStateAgreesWithThePlansWords) {
    SessionMachine m;
    m.programs.files = {"C:\\Windows\\System32\\cmd.exe", "C:\\Windows\\System32\\powercfg.exe"};
    m.services.services["SysMain"] = {{{services::kManual}, false, true}};
    m.services.services["Disabled"] = {{{services::kDisabled}}};
    m.tasks.tasks["\\Defrag"] = {false};
    m.tasks.tasks["\\On"] = {true};
    OddlyStored registry(m.registry);
    const engine::SessionPlatform platform{
        {m.env.platform(), registry, m.processes, m.wmi, m.services, m.tasks, m.boxes},
        *m.xml,
        m.programs,
        m.files};
    m.Preset("A", reg::kDword, std::string("\x01\0\0\0", 4), kKey);
    m.Preset("Text", reg::kSz, std::string("1\0", 2), kKey);
    m.Preset("Lone", reg::kSz, "\xEF\xBF\xBD" + std::string(1, '\0'), kKey);
    const std::string before = m.registry.Dump();
    const struct {
        std::vector<RegistryItem> values = {};
        std::vector<cmdItem> commands = {};
        std::vector<ServiceItem> services = {};
        std::vector<TaskItem> tasks = {};
        State state;
        std::string words;           // of the plan
        std::string firstLine = "";  // of the state's details
    } rows[] = {
        {.values = {{0, kKey, "A", "1"}},
         .state = State::Applied,
         .words = "unchanged",
         .firstLine = "unchanged " + kKey + "\\A: REG_DWORD 1 -> REG_DWORD 1"},
        {.values = {{0, kKey, "A", "1"}, {0, kKey, "B", "1"}},
         .state = State::Partly,
         .words = "unchanged set"},
        {.values = {{0, kKey, "Text", "1"}},
         .state = State::NotApplied,
         .words = "change",
         .firstLine = "change " + kKey + "\\Text: REG_SZ \"1\" -> REG_DWORD 1"},
        {.values = {{1, kKey + "\\Missing", "S", "on"}},
         .state = State::NotApplied,
         .words = "set",
         .firstLine = "set " + kKey + "\\Missing\\S: (absent) -> REG_SZ \"on\""},
        // Reads the same, stored otherwise: the run changes its bytes.
        {.values = {{1, kKey, "Lone", "\xEF\xBF\xBD"}},
         .state = State::NotApplied,
         .words = "change"},
        {.values = {{0, "HKEY_NOWHERE\\X", "A", "1"}, {0, kKey, "A", "1"}},
         .state = State::WouldFail,
         .words = "fail skip"},
        {.commands = {{"C:\\Windows\\System32\\cmd.exe /c exit"}},
         .state = State::NotCheckable,
         .words = "start",
         .firstLine = "start C:\\Windows\\System32\\cmd.exe /c exit"},
        {.commands = {{"C:\\Nowhere\\gone.exe"}}, .state = State::WouldFail, .words = "fail"},
        // A delete under a key that is not there: nothing to do, and no key to make.
        {.values = {{1, kKey + "\\Missing\\Deeper", "Gone", ""}},
         .state = State::Applied,
         .words = "unchanged",
         .firstLine = "unchanged " + kKey + "\\Missing\\Deeper\\Gone: (absent) -> (absent)"},
        // Services and tasks count as values; one not on this machine as in effect.
        {.services = {{"SysMain", "Disabled"}},
         .state = State::NotApplied,
         .words = "change",
         .firstLine = "change service SysMain: Manual -> Disabled, running (it keeps running until "
                      "it is stopped or Windows starts again)"},
        // Stop asked: a change while it runs, even with the start type in place already.
        {.services = {{"SysMain", "Manual", true}},
         .state = State::NotApplied,
         .words = "change",
         .firstLine = "change service SysMain: Manual -> Manual, running -> stopped"},
        {.services = {{"Disabled", "Disabled", true}},
         .state = State::Applied,
         .words = "unchanged"},
        {.services = {{"Gone", "Disabled"}, {"disabled", "DISABLED"}},
         .state = State::Applied,
         .words = "absent unchanged",
         .firstLine = "absent service Gone: not on this machine"},
        {.values = {{0, kKey, "A", "1"}},
         .services = {{"Disabled", "Disabled"}},
         .tasks = {{"\\Defrag", "Disabled"}, {"\\On", "Disabled"}, {"\\Gone", "Disabled"}},
         .state = State::Partly,
         .words = "unchanged unchanged unchanged change absent"},
        {.commands = {{"C:\\Windows\\System32\\powercfg.exe -h off"}},
         .state = State::NotCheckable,
         .words = "start",
         .firstLine = "start C:\\Windows\\System32\\powercfg.exe -h off (powercfg: the power "
                      "settings it changes are not read before, and undo cannot put them back)"},
    };
    for (const auto& row : rows) {
        const auto entry = Entry("", row.values, row.commands);
        entry->serviceItems = row.services;
        entry->taskItems = row.tasks;
        entry->wmiItems = {{"SELECT * FROM Win32_Process", 1}};
        engine::Session session(platform);
        const EntryPlan plan = session.PlanEntry(*entry);
        EXPECT_EQ(plan.state, row.state) << plan.lines.front();
        EXPECT_EQ(plan.failure.empty(), row.state != State::WouldFail) << plan.failure;
        if (!row.firstLine.empty()) {
            EXPECT_EQ(plan.lines.front(), row.firstLine);
        }
        entry->wmiItems.clear();
        Words words;
        EXPECT_FALSE(session.Run({entry}, {}, &words).stopped);
        EXPECT_EQ(words.words, row.words) << plan.lines.front();
    }
    EXPECT_EQ(m.registry.Dump(), before);
    EXPECT_EQ(m.wmi.connections, 0);
    EXPECT_TRUE(m.services.changes.empty() && m.tasks.changes.empty()) << "a plan sets nothing";
    EXPECT_TRUE(m.services.services["SysMain"].state.running) << "nor stops";
}

// The journals' folder of the editor, in memory.
struct JournalShell final : Shell {
    RenderedReport RenderReport(const std::string&, const std::string&) override { return {}; }
    uint32_t OpenDocument(const std::string&) override { return 0; }
    uint32_t WriteFileBytes(const std::string&, const std::string&) override { return 0; }
    std::string TempFolder() override { return "C:\\Temp"; }
    uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
        files.files[to] = files.files[from];
        files.files.erase(from);
        return 0;
    }
    void RemoveFile(const std::string& path) override { files.files.erase(path); }
    std::vector<std::string> FileNames(const std::string&) override {
        std::vector<std::string> names;
        for (const auto& [path, bytes] : files.files)
            names.push_back(path.substr(path.rfind('\\') + 1));
        return names;
    }
    uint32_t ProbeWrite(const std::string&) override { return 0; }
    uint32_t StartSelfElevated() override { return 0; }
    std::string ErrorText(uint32_t code) override { return std::to_string(code); }
    explicit JournalShell(FakeFiles& held) : files(held) {}
    FakeFiles& files;
};

struct Editor : SessionMachine {
    Editor() {
        env.system.executablePath = "C:\\Tools\\Orvik.exe";
        std::ofstream(catalogue, std::ios::binary) << "<Optimizations/>";
    }
    ~Editor() { std::filesystem::remove(catalogue); }
    std::filesystem::path catalogue = std::filesystem::temp_directory_path() / "orvik-session.xml";
    FakeFileSecurity security;
    JournalShell shell{files};
    engine::Session session{Platform(false)};
    const EnginePlatform machine = Engine();  // the journals hold on to it
    EditorJournals journals{{machine, files, shell, security}, session};
};

TEST(Session, TheEditorsRunJournalsTheBytesReadAndStopsWithItsJournal) {
    Editor m;
    const std::string read = "<Optimizations><Item/></Optimizations>";
    std::ofstream(m.catalogue, std::ios::binary) << read;
    m.session.ReadCatalogue(m.catalogue.string());
    std::ofstream(m.catalogue, std::ios::binary) << "<Optimizations/>";  // saved since

    const auto entry =
        Entry("", {{0, "HKEY_CURRENT_USER\\Software\\Orvik", "A", "1"}}, {{"C:\\Tools\\tool.exe"}});
    const RunOutcome whole = m.journals.Run({entry});
    ASSERT_EQ(whole.refusal, "");
    const engine::Journal journal = engine::ReadJournal(m.files.files[whole.journal]);
    EXPECT_EQ(journal.header.sha256, engine::Sha256Hex(read));
    EXPECT_EQ(m.processes.started.size(), 1u);

    m.Preset("A", reg::kDword, std::string(4, '\0'), "HKEY_CURRENT_USER\\Software\\Orvik");
    m.files.writesBeforeFailure = 2;  // the head and the entry
    const RunOutcome cut = m.journals.Run({entry});
    EXPECT_NE(cut.cutShort, "") << cut.refusal;  // what it stopped: the session's test below
    EXPECT_EQ(m.processes.started.size(), 1u) << "no command after the journal failed";
    EXPECT_NE(cut.journal, whole.journal);
}

const std::string kUser = "HKEY_CURRENT_USER\\Software\\OrvikCli";

engine::RunRequest Apply(const std::string& journal, engine::Users users = engine::Users::Current,
                         const std::string& hive = "") {
    engine::RunRequest request{engine::RunMode::Apply, users, hive};
    if (!journal.empty()) request.journal = [journal](const std::string&, int) { return journal; };
    return request;
}

// The undo's outcomes that came up, by count: "restored 2, conflict 1".
std::string Counts(const engine::UndoRun& undone) {
    std::map<std::string, int> counts;
    for (const engine::UndoEntry& entry : undone.entries) {
        for (const engine::UndoAction& action : entry.actions) ++counts[UndoWord(action.outcome)];
    }
    std::string text;
    for (const auto outcome : engine::UndoOutcomes()) {
        if (counts[UndoWord(outcome)] == 0) continue;
        text += (text.empty() ? "" : ", ") + std::string(UndoWord(outcome)) + " " +
                std::to_string(counts[UndoWord(outcome)]);
    }
    return text;
}

}  // namespace

// Values of every type, present and absent, written over, written twice and deleted.
TEST(Session, UndoPutsBackExactlyWhatTheRunChanged) {
    SessionMachine m;
    engine::Session session(m.Platform());
    std::vector<RegistryItem> values;
    for (const uint32_t type : {reg::kNone, reg::kSz, reg::kExpandSz, reg::kBinary, reg::kDword,
                                reg::kDwordBigEndian, reg::kLink, reg::kMultiSz, 11u}) {
        const std::string name = "T" + std::to_string(type);
        m.Preset(name, type,
                 type == reg::kMultiSz ? std::string("a\0b\0\0", 5) : "\x07\x07\x07\x07");
        values.push_back({type % 2 ? 0 : 1, kUser, name, "1"});
    }
    values.insert(
        values.end(),
        {{2, kUser, "Absent", "0A"}, {1, kUser, "T1", ""}, {0, kUser + "\\New\\Deeper", "D", "2"}});
    const std::string before = m.registry.Dump();
    EXPECT_EQ(session.Run({Entry("1", values)}, Apply("j")).problems.size(), 0u);
    m.Preset("T4", reg::kDword, "\x09\0\0\0");
    const std::string changed = m.registry.Dump();
    // A dry run says what undo then does, outcome for outcome, the keys the run made too.
    EXPECT_EQ(Counts(session.Undo({"j", std::nullopt, true})),
              "restored 11, removed 2, conflict 1");
    EXPECT_EQ(m.registry.Dump(), changed);
    EXPECT_EQ(Counts(session.Undo({"j"})), "restored 11, removed 2, conflict 1");
    m.Preset("T4", reg::kDword, "\x07\x07\x07\x07");
    EXPECT_EQ(m.registry.Dump(), before);
}

// A journal that cannot be written stops the changes it would have described, commands too, and
// fails the run also when only its last record is lost.
TEST(Session, UndoOfACutJournalAndARunWhoseJournalFails) {
    SessionMachine m;
    engine::Session session(m.Platform());
    const auto reset = [&](const char* text) {
        for (const char* name : {"A", "B", "C"}) m.Preset(name, reg::kSz, std::string(text, 2));
    };
    reset("0\0");
    ASSERT_EQ(
        session
            .Run({Entry("1", {{1, kUser, "A", "1"}, {1, kUser, "B", "1"}, {1, kUser, "C", "1"}})},
                 Apply("j"))
            .journalFailure,
        0u);
    const std::string whole = m.files.files["j"];
    std::vector<size_t> ends;  // where each line ends: head, entry, A, B, C, end
    for (size_t at = whole.find('\n'); at != std::string::npos; at = whole.find('\n', at + 1)) {
        ends.push_back(at + 1);
    }
    ASSERT_EQ(ends.size(), 6u);
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {whole, "", "ABC"},
        {whole.substr(0, ends[4]), "journal-cut", "ABC"},  // no end: the run was ended
        {whole + whole.substr(ends[3], ends[4] - ends[3]) + "\n", "journal-after-end", "ABC"},
        {whole.substr(0, ends[3] + 20), "journal-cut", "AB"},
        {whole.substr(0, ends[2]) + "{\"record\": \"value\", \"root\": 1}\n" +
             whole.substr(ends[3]),
         "journal-damaged", "A"},
        {whole.substr(0, ends[0] / 2), "no-journal", ""},
    };
    for (const auto& [journal, problem, restored] : cases) {
        reset("1\0");
        m.files.files["cut"] = journal;
        const engine::UndoRun undone = session.Undo({"cut"});
        EXPECT_EQ(undone.problems.empty() ? "" : undone.problems[0].code, problem);
        std::string back;
        for (const char* name : {"A", "B", "C"}) {
            if (m.Stored(kUser, name) == std::string("0\0", 2)) back += name;
        }
        EXPECT_EQ(back, restored) << problem;
    }
    EXPECT_EQ(session.Undo({"none"}).problems[0].message, "the file cannot be read: system text 2");

    const OptimizationList entry = {Entry("1", {{1, kUser, "A", "1"}}, {{"C:\\Tools\\tool.exe"}})};
    // Each action the journal stopped says so, not what the refused write looked like.
    for (const int writes : {2, 4}) {  // of the head, the entry, A, the command and the end
        reset("0\0");
        m.processes.started.clear();
        m.files.writesBeforeFailure = writes;
        engine::RunRequest awaited = Apply(std::to_string(writes));
        awaited.commandLimit = std::chrono::seconds(5);  // the editor's Run starts, see above
        Words errors;
        const engine::RunResult run = session.Run(entry, awaited, &errors);
        EXPECT_EQ(run.problems.at(0).code, "journal-failed");
        EXPECT_EQ(m.Stored(kUser, "A"), std::string(writes == 4 ? "1\0" : "0\0", 2));
        EXPECT_EQ(m.processes.started.size(), writes == 4 ? 1u : 0u);
        const std::string stopped =
            "not done: the journal 2 could not be written (system text 112);";
        EXPECT_EQ(errors.errors, writes == 4 ? "-;-;" : stopped + stopped);
    }
}

// Loaded for the run and unloaded after it, also when the program is interrupted.
TEST(Session, DefaultProfileHive) {
    SessionMachine m;
    engine::Session session(m.Platform());
    const std::string hive = "C:\\Hive\\NTUSER.DAT",
                      inHive = "FILE\\" + hive + "\\Software\\OrvikCli";
    m.Preset("V", reg::kSz, std::string("profile\0", 8), "HKEY_USERS\\Staged\\Software\\OrvikCli");
    m.Preset("P", reg::kSz, std::string("p\0", 2), "HKEY_USERS\\Staged\\Software\\OrvikCli");
    ASSERT_TRUE(m.registry.MoveTree("HKEY_USERS\\Staged", "FILE\\" + hive));
    m.Preset("Other", reg::kSz, "", "HKEY_CURRENT_USER\\Software");
    const OptimizationList entries = {Entry("1", {{1, kUser, "V", "x"}}),
                                      Entry("2", {{1, kUser, "W", "y"}, {1, kUser, "P", ""}})};
    const std::string before = m.registry.Dump();
    using engine::Users;
    engine::RunRequest plan{engine::RunMode::Plan, Users::Both, hive};
    Words words;
    EXPECT_FALSE(session.Run(entries, plan, &words).stopped);
    EXPECT_EQ(words.words, "set change set set unchanged change");
    EXPECT_EQ(session.Run(entries, Apply("both", Users::Both, hive)).problems.size(), 0u);
    EXPECT_FALSE(m.hives.cleanup) << "no cleanup is left behind";
    EXPECT_EQ(m.Stored(inHive, "V"), std::string("x\0", 2));
    EXPECT_EQ(m.Stored(kUser, "W") + m.Stored(inHive, "W") + m.Stored(inHive, "P"),
              std::string("y\0y\0-", 5));
    EXPECT_EQ(Counts(session.Undo({"both"})), "restored 5, removed 1");
    EXPECT_EQ(m.registry.Dump(), before);

    // Interrupted as entry 2 starts: the hive is unloaded at once and nothing more goes into it.
    Words interrupt;
    interrupt.starts = [&](const OptimizationItem& entry) {
        if (entry.Number == "2" && m.hives.cleanup) m.hives.cleanup();
    };
    EXPECT_FALSE(session.Run(entries, Apply("", Users::Default, hive), &interrupt).stopped);
    EXPECT_NE(interrupt.errors.find_first_not_of("-;"), std::string::npos) << "a write failed";
    EXPECT_EQ(m.Stored(inHive, "V") + m.Stored(inHive, "W"), std::string("x\0-", 3));

    // A journal that cannot be made lets the hive go again, and says when it stays loaded;
    // nothing is written when the place is taken (without the privileges: ConsoleCommandsTest).
    m.files.files["taken"] = "";
    m.hives.unloadFailure = 5;
    const engine::RunResult taken = session.Run(entries, Apply("taken", Users::Default, hive));
    EXPECT_TRUE(taken.stopped && taken.cleanupFailed);
    EXPECT_EQ(taken.problems.at(1).code, "hive-not-unloaded");
    const std::string now = m.registry.Dump();
    EXPECT_EQ(session.Run(entries, Apply("", Users::Both, hive)).problems.at(0).code,
              "hive-in-use");
    EXPECT_EQ(m.registry.Dump(), now);
    // Where no hive can be loaded, a run that changed the default profile is not undone.
    engine::Session editor(m.Platform(false));
    EXPECT_FALSE(editor.Undo({"both"}).ran);
}

// HKEY_CURRENT_USER\Software\Classes is each user's own hive: new users do not get a value
// written there into the default profile (a key merely named alike is no such value).
TEST(Session, SelectionWarnsOfClassesValuesForTheDefaultProfile) {
    const OptimizationList catalogue = {
        Entry("3", {{1, "HKEY_CURRENT_USER\\Software\\Classes\\.x", "", "y"},
                    {1, "HKEY_CURRENT_USER\\Software\\ClassesX", "", "y"}})};
    engine::Selection selection;
    EXPECT_TRUE(engine::Select(catalogue, selection).warnings.empty());
    selection.users = engine::Users::Default;
    const engine::Selected selected = engine::Select(catalogue, selection);
    ASSERT_EQ(selected.warnings.size(), 1u);
    EXPECT_EQ(selected.warnings[0].code, "classes-not-in-profile");
    selection.excluded = {"4"};
    EXPECT_EQ(engine::Select(catalogue, selection).wrongUsage, "no entry has the Number 4");
}

// Services and tasks left as they are where they hold what they held before (a change that never
// took among them); left alone, as a conflict, where changed since or gone.
TEST(Session, UndoPutsBackServicesAndTasksUnlessChangedSince) {
    SessionMachine m;
    using services::kAutomatic, services::kManual, services::kDisabled;
    m.services.services = {{"Changed", {{{kManual}}}},
                           {"Delayed", {{{kAutomatic, true}}}},
                           {"Ignores", {{{kManual}}, 0, true}},
                           {"Removed", {{{kManual}}}},
                           {"Idle", {{{kManual}}}},
                           {"Stops", {{{kManual}, false, true}}}};
    m.tasks.tasks = {{"\\One", {true}}, {"\\Back", {true}}};
    engine::Session session(m.Platform());
    auto entry = Entry("1", {});
    entry->serviceItems = {{"Changed", "Disabled"},     {"Delayed", "Manual"},
                           {"Removed", "Disabled"},     {"Idle", "Disabled", true},
                           {"Stops", "Disabled", true}, {"Ignores", "Disabled"}};
    entry->taskItems = {{"\\One", "Disabled"}, {"\\Back", "Disabled"}};
    EXPECT_TRUE(session.Run({entry}, Apply("j")).problems.empty());
    EXPECT_EQ(m.services.services["Delayed"].state.start, (ServiceStart{kManual, true}));
    m.services.services["Changed"].state.start = {kAutomatic};
    m.services.services.erase("Removed");
    m.tasks.tasks["\\Back"].enabled = true;
    const std::string journal = m.files.files["j"];
    EXPECT_NE(journal.find("{\"record\":\"service\",\"name\":\"Delayed\",\"before\":"
                           "{\"type\":2,\"delayed\":true}"),
              std::string::npos)
        << journal;
    const auto states = [&] {
        std::string text;
        for (const auto& [name, service] : m.services.services) {
            text += name + "=" + std::to_string(service.state.start.type) +
                    (service.state.start.delayed ? "d" : "") + (service.state.running ? "r " : " ");
        }
        for (const auto& [path, task] : m.tasks.tasks)
            text += path + "=" + (task.enabled ? "on " : "off ");
        return text;
    };
    const std::string changed = states();
    EXPECT_EQ(changed, "Changed=2 Delayed=3d Idle=4 Ignores=3 Stops=4 \\Back=on \\One=off ");
    EXPECT_EQ(Counts(session.Undo({"j", std::nullopt, true})),
              "restored 4, unchanged 3, conflict 2");
    EXPECT_EQ(states(), changed);
    EXPECT_EQ(Counts(session.Undo({"j"})), "restored 4, unchanged 3, conflict 2");
    EXPECT_EQ(states(), "Changed=2 Delayed=2d Idle=3 Ignores=3 Stops=3r \\Back=on \\One=on ");
    // A change the journal cannot take is not made.
    m.files.writesBeforeFailure = 2;  // the head and the entry
    EXPECT_EQ(session.Run({entry}, Apply("full")).problems.at(0).code, "journal-failed");
    EXPECT_EQ(states(), "Changed=2 Delayed=2d Idle=3 Ignores=3 Stops=3r \\Back=on \\One=on ");
}
