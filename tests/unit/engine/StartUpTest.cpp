#include <gtest/gtest.h>

#include <algorithm>

#include "EngineMachine.h"
#include "FakeFileSecurity.h"
#include "FakeRunLock.h"
#include "app/StartUp.h"
#include "platform/XmlDocument.h"

TEST(StartUp, ArgumentTextFollowsTheProgramNameAndOnlyMinusRunRunsSilently) {
    const std::pair<const char*, const char*> lines[] = {
        {"Orvik.exe -RUN", "-RUN"},
        {"\"C:\\Program Files\\Orvik\\Orvik.exe\" -RUN", "-RUN"},
        {"\"C:\\Program Files\\Orvik\\Orvik.exe\"-RUN", "-RUN"},
        {"C:\\Orvik.exe \t  -run", "-run"},
        // The rest stays verbatim: inner and trailing blanks, quotes, a second argument.
        {"Orvik.exe -RUN ", "-RUN "},
        {"Orvik.exe -RUN  extra", "-RUN  extra"},
        {"Orvik.exe \"-RUN\"", "\"-RUN\""},
        {"Orvik.exe", ""},
        {"\"C:\\unclosed -RUN", ""},
        // Only the closing quote ends a quoted name; control characters separate like blanks.
        {"\"C:\\a\"b -RUN", "b -RUN"},
        {"Orvik.exe\r\n-RUN", "-RUN"}};
    for (const auto& [line, arguments] : lines) EXPECT_EQ(ArgumentText(line), arguments) << line;

    for (const char* run : {"-RUN", "-run", "-rUn"}) {
        EXPECT_EQ(ChooseStart(run), StartMode::SilentRun) << run;
    }
    for (const char* other : {"", "-RUN ", " -RUN", "/RUN", "-RUN extra", "-RUNS", "-EDIT"}) {
        EXPECT_EQ(ChooseStart(other), StartMode::Editor) << "'" << other << "'";
    }
}

namespace {

// The host's parser, with the catalogue's bytes beside the executable held in memory.
class CatalogueBeside final : public XmlDocumentFactory {
public:
    std::optional<std::string> bytes;
    std::unique_ptr<XmlDocument> NewDocument() override { return real_->NewDocument(); }
    using XmlDocumentFactory::ReadFileBytes;
    std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) override {
        EXPECT_EQ(path, "C:\\Tools\\OrvikOptimizations.xml");
        if (!bytes) why = "The system cannot find the file specified.";
        return bytes;
    }
    bool ReadEvents(const std::string& file, XmlEvents& events) override {
        return real_->ReadEvents(file, events);
    }

private:
    std::unique_ptr<XmlDocumentFactory> real_ = NewXmlDocumentFactory();
};

const char* const kUser = "HKEY_CURRENT_USER\\Software\\O";
const char* const kMachine = "HKEY_LOCAL_MACHINE\\Software\\O";

std::string Entry(const std::string& number, const std::string& key, const std::string& name,
                  const std::string& rest = "") {
    return "<Item><Number>" + number +
           "</Number><Enabled>True</Enabled><OSVersion>All</OSVersion><RegistryEntries>"
           "<RegistryEntry><Key>" +
           key + "</Key><ValueName>" + name +
           "</ValueName><KeyType>DWORD</KeyType><Value>1</Value></RegistryEntry></"
           "RegistryEntries>" +
           rest + "</Item>";
}

}  // namespace

// What -RUN decides before and while it applies, on the account and the machine that Wine cannot
// pose as: its exit code, its log line and what it wrote.
TEST(StartUp, SilentRunRefusesLogsAndCounts) {
    const std::string user = "<Optimizations>" + Entry("1", kUser, "user") + "</Optimizations>";
    const std::string all = "<Optimizations>" + Entry("1", kUser, "user") +
                            Entry("2", kMachine, "machine",
                                  "<WMIQueries><WMIQuery><Command>SELECT * FROM W</Command>"
                                  "<WarningLevel>1</WarningLevel></WMIQuery></WMIQueries>") +
                            "</Optimizations>";
    const std::string withService =
        "<Optimizations>" +
        Entry("1", kUser, "user",
              "<Services><Service><Name>Svc</Name><StartType>Disabled</StartType></Service>"
              "</Services>") +
        "</Optimizations>";
    const std::string cannotRead =
        " Error 2, Source = Orvik: The catalogue C:\\Tools\\OrvikOptimizations.xml cannot be read";
    const struct {
        std::optional<std::string> catalogue;
        bool elevated, system, desktop, denied;
        int exitCode;
        std::string log;  // what the log line holds; "" for none
        const char* written;
        size_t boxes;
        RunLock::Taken lock = RunLock::Taken::Held;  // what the run lock's Take finds
    } cases[] = {
        {std::nullopt, true, false, true, false, 2,
         cannotRead + ": The system cannot find the file specified.. Trace: nothing was applied",
         "", 0},
        {"<Optimizations><Item><Number>1", true, false, true, false, 2,
         " Error 13" + cannotRead.substr(8) + ": the file is no well-formed XML", "", 0},
        {all, false, false, true, false, 2,
         " Error 740, Source = Orvik: Run Orvik.exe -RUN as administrator: the program is not "
         "elevated, and entry 2 writes HKEY_LOCAL_MACHINE\\Software\\O\\machine",
         "", 0},
        {user, false, false, true, false, 0, "", "user ", 0},
        {all, true, true, true, false, 0,
         " Error 0, Source = Orvik: Run as SYSTEM, HKEY_CURRENT_USER is the .DEFAULT hive, which "
         "no new user gets: HKEY_CURRENT_USER\\Software\\O\\user",
         "user machine", 1},
        {all, true, false, false, false, 0,
         " Error 0, Source = Orvik.WMIRunner: SELECT * FROM W Was more then or equal to 1Trace: no "
         "interactive desktop",
         "user machine", 0},
        {all, true, false, true, true, 1, "", "user ", 1},
        {user, false, false, true, false, 6,
         " Error 170, Source = Orvik: Another run of Orvik Optimizer (apply, undo, the editor's "
         "Run "
         "or Undo, or Orvik.exe -RUN) is changing this machine and holds "
         "Global\\OrvikOptimizer.Run, and did not let go of it within 60 seconds: nothing was "
         "done. Trace: nothing was applied",
         "", 0, RunLock::Taken::Busy},
        {user, false, false, true, false, 2,
         " Error 5, Source = Orvik: Global\\OrvikOptimizer.Run cannot be had (system text 5), so "
         "this run could not be kept apart from others: nothing was done. Trace: nothing was "
         "applied",
         "", 0, RunLock::Taken::Failed},
        {user, false, false, true, false, 0,
         " Error 0, Source = Orvik: The run before this one ended without letting go of "
         "Global\\OrvikOptimizer.Run (it was stopped or failed part-way): what it changed may be "
         "part-done; its journal, if it kept one, says how far it came. Trace: the run went on",
         "user ", 0, RunLock::Taken::Abandoned},
        {withService, false, false, true, false, 2,
         " Error 740, Source = Orvik: Run Orvik.exe -RUN as administrator: the program is not "
         "elevated, and entry 1 sets the start of service Svc",
         "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        EngineMachine m;
        m.env.system.elevated = c.elevated;
        m.env.system.system = c.system;
        m.env.system.desktop = c.desktop;
        if (c.denied) m.registry.deniedKeys["HKEY_LOCAL_MACHINE\\SOFTWARE\\O"] = 5;
        m.wmi.answers["SELECT * FROM W"] = {0, 1, 0};
        FakeFileSecurity security;
        CatalogueBeside xml;
        xml.bytes = c.catalogue;
        FakeRunLock lock;
        lock.script = {c.lock};

        EXPECT_EQ(SilentRun(xml, m.Engine(), security, lock), c.exitCode);
        // Asked for only once the catalogue may run, and let go by the end.
        EXPECT_EQ(lock.waits.size(), c.exitCode == 2 && c.lock == RunLock::Taken::Held ? 0u : 1u);
        if (!lock.waits.empty()) {
            EXPECT_EQ(lock.waits[0], std::chrono::seconds(60));
        }
        EXPECT_EQ(lock.held, 0);
        // Only a warning asks whether it can be seen: asking loads the window libraries.
        EXPECT_EQ(m.env.system.desktopAsked, c.catalogue == all && c.exitCode != 2 ? 1 : 0);
        const std::string log = m.env.files.files["C:\\Tools\\SarnetLog.txt"];
        EXPECT_EQ(log.find("06.12.202609:15:02" + c.log), c.log.empty() ? std::string::npos : 0u)
            << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.log.empty() ? 0 : 1) << log;
        std::string written = m.registry.Stored(kUser, "user") ? "user " : "";
        if (m.registry.Stored(kMachine, "machine")) written += "machine";
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(m.boxes.shown.size(), c.boxes);
    }
}
