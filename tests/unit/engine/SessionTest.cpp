// The engine's session on the doubles: an entry's state for the editor agrees with the words of a
// plan on the same values; the editor's runs keep a journal of the bytes the catalogue was read
// from and start no command once that journal fails; undo of a run that changed the default
// profile is refused where no hive can be loaded.

#include <gtest/gtest.h>

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

// The words of a whole plan, one per action.
struct Words final : engine::SessionObserver {
    void RunStarts(size_t, bool) override {}
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override {
        words += (words.empty() ? "" : " ") + engine::OutcomeWord(record, engine::RunMode::Plan);
    }
    void EntryEnds(const OptimizationItem&) override {}
    std::string words;
};

struct SystemFolderOnly : SessionMachine {
    SystemFolderOnly() { programs.files = {"C:\\Windows\\System32\\cmd.exe"}; }
};

}  // namespace

TEST(Session, TheEditorsStateAgreesWithThePlansWords) {
    SystemFolderOnly m;
    OddlyStored registry(m.registry);
    const engine::SessionPlatform platform{
        {m.env.platform(), registry, m.processes, m.wmi, m.boxes}, *m.xml, m.programs, m.files};
    m.Preset("A", reg::kDword, std::string("\x01\0\0\0", 4), kKey);
    m.Preset("Text", reg::kSz, std::string("1\0", 2), kKey);
    m.Preset("Lone", reg::kSz, "\xEF\xBF\xBD" + std::string(1, '\0'), kKey);
    const std::string before = m.registry.Dump();
    const struct {
        std::vector<RegistryItem> values;
        std::vector<cmdItem> commands;
        State state;
        std::string words;      // of the plan
        std::string firstLine;  // of the state's details
    } rows[] = {
        {{{0, kKey, "A", "1"}},
         {},
         State::Applied,
         "unchanged",
         "unchanged " + kKey + "\\A: REG_DWORD 1 -> REG_DWORD 1"},
        {{{0, kKey, "A", "1"}, {0, kKey, "B", "1"}}, {}, State::Partly, "unchanged set", ""},
        {{{0, kKey, "Text", "1"}},
         {},
         State::NotApplied,
         "change",
         "change " + kKey + "\\Text: REG_SZ \"1\" -> REG_DWORD 1"},
        {{{1, kKey + "\\Missing", "S", "on"}},
         {},
         State::NotApplied,
         "set",
         "set " + kKey + "\\Missing\\S: (absent) -> REG_SZ \"on\""},
        // Reads the same, stored otherwise: the run changes its bytes.
        {{{1, kKey, "Lone", "\xEF\xBF\xBD"}}, {}, State::NotApplied, "change", ""},
        {{{0, "HKEY_NOWHERE\\X", "A", "1"}, {0, kKey, "A", "1"}},
         {},
         State::WouldFail,
         "fail skip",
         ""},
        {{},
         {{"C:\\Windows\\System32\\cmd.exe /c exit"}},
         State::NotCheckable,
         "start",
         "start C:\\Windows\\System32\\cmd.exe /c exit"},
        {{}, {{"C:\\Nowhere\\gone.exe"}}, State::WouldFail, "fail", ""},
    };
    for (const auto& row : rows) {
        auto entry = std::make_shared<OptimizationItem>();
        entry->Enabled = true;
        entry->regItems = row.values;
        entry->cmdItems = row.commands;
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
        session.Run({entry}, {}, &words);
        EXPECT_EQ(words.words, row.words) << plan.lines.front();
    }
    EXPECT_EQ(m.registry.Dump(), before);
    EXPECT_EQ(m.wmi.connections, 0);
}

namespace {

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
    EditorJournals journals{{Engine(), files, shell, security}, session};
};

}  // namespace

// As the console's: the journal names the bytes the catalogue was read from, and once it fails
// neither a registry value nor a command line follows.
TEST(Session, TheEditorsRunJournalsTheBytesReadAndStopsWithItsJournal) {
    Editor m;
    const std::string read = "<Optimizations><Item/></Optimizations>";
    std::ofstream(m.catalogue, std::ios::binary) << read;
    m.session.ReadCatalogue(m.catalogue.string());
    std::ofstream(m.catalogue, std::ios::binary) << "<Optimizations/>";  // saved since

    auto entry = std::make_shared<OptimizationItem>();
    entry->Enabled = true;
    entry->regItems = {{0, "HKEY_CURRENT_USER\\Software\\Orvik", "A", "1"}};
    entry->cmdItems = {{"C:\\Tools\\tool.exe"}};
    const RunOutcome whole = m.journals.Run({entry});
    ASSERT_EQ(whole.refusal, "");
    const engine::Journal journal = engine::ReadJournal(m.files.files[whole.journal]);
    EXPECT_EQ(journal.header.sha256, engine::Sha256Hex(read));
    EXPECT_EQ(m.processes.started.size(), 1u);

    m.Preset("A", reg::kDword, std::string(4, '\0'), "HKEY_CURRENT_USER\\Software\\Orvik");
    m.files.writesBeforeFailure = 2;  // the head and the entry
    const RunOutcome cut = m.journals.Run({entry});
    EXPECT_NE(cut.cutShort, "");
    EXPECT_EQ(m.Stored("HKEY_CURRENT_USER\\Software\\Orvik", "A"), std::string(4, '\0'));
    EXPECT_EQ(m.processes.started.size(), 1u) << "no command after the journal failed";
    EXPECT_NE(cut.journal, whole.journal);
}
