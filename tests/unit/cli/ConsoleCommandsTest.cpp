// The console program's commands on the doubles: what validate, plan and apply report and exit
// with, that a plan changes nothing and foretells what apply then does, and the pieces they are
// made of (the command line, the program search, the catalogue's hash).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "EngineDoubles.h"
#include "FakeEnvironment.h"
#include "JsonReader.h"
#include "RegistryDouble.h"
#include "TestSupport.h"
#include "cli/OrvikCli.h"
#include "cli/Options.h"
#include "cli/PlanAdapters.h"
#include "cli/Sha256.h"
#include "platform/Console.h"
#include "platform/XmlDocument.h"

namespace {

class FakePrograms final : public ProgramSearch {
public:
    std::set<std::string> files;
    std::vector<std::string> SearchFolders() override {
        return {"C:\\Tools", "C:\\Windows\\System32\\"};
    }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
};

class FakeConsole final : public Console {
public:
    std::string out, err;
    void Out(const std::string& text) override { out += text; }
    void Err(const std::string& text) override { err += text; }
};

const std::string kKey = "HKEY_CURRENT_USER\\Software\\OrvikCli";

std::string Registry(const std::string& key, const std::string& name, const std::string& type,
                     const std::string& value) {
    return "<RegistryEntry><Key>" + key + "</Key><ValueName>" + name + "</ValueName><KeyType>" +
           type + "</KeyType><Value>" + value + "</Value></RegistryEntry>";
}

std::string Item(const std::string& number, const std::string& body,
                 const std::string& enabled = "True", const std::string& versions = "ALL") {
    return "<Item><Number>" + number + "</Number><Name>Entry " + number + "</Name><Enabled>" +
           enabled + "</Enabled><OSVersion>" + versions + "</OSVersion>" + body + "</Item>";
}

struct Machine {
    FakeEnvironment env;
    RegistryDouble registry;
    RecordingProcessLauncher processes;
    ScriptedWmi wmi;
    RecordingMessageBoxes boxes;
    FakePrograms programs;
    FakeConsole console;
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    std::filesystem::path catalogue =
        std::filesystem::temp_directory_path() /
        ("orvik-cli-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".xml");

    Machine() { env.system.executablePath = "C:\\Tools\\OrvikCli.exe"; }
    ~Machine() { std::filesystem::remove(catalogue); }

    void Write(const std::string& items) {
        std::ofstream(catalogue, std::ios::binary) << "<Optimizations>" << items
                                                    << "</Optimizations>";
    }
    int Run(std::vector<std::string> arguments) {
        console = {};
        cli::CliPlatform platform{*xml, {env.platform(), registry, processes, wmi, boxes},
                                  programs, console};
        return cli::Main(arguments, platform);
    }
    json::Value Json(std::vector<std::string> arguments, int exitCode) {
        arguments.insert(arguments.end(), {"--catalogue", testsupport::Utf8(catalogue), "--json"});
        EXPECT_EQ(Run(arguments), exitCode) << console.err;
        const json::Value report = json::Parse(console.out);
        EXPECT_EQ(report["summary"]["exitCode"].Int(), exitCode);
        return report;
    }
    void Preset(const std::string& name, uint32_t type, const std::string& data) {
        RegKey key = 0;
        ASSERT_EQ(registry.CreateKey(reg::RootKey(reg::kCurrentUser), "Software\\OrvikCli",
                                     reg::kAllSpecificRights, key), 0);
        registry.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                          static_cast<uint32_t>(data.size()));
        registry.CloseKey(key);
    }
    // A value's data as stored, "-" when absent.
    std::string Stored(const std::string& key, const std::string& name) const {
        const auto value = registry.Stored(key, name);
        return value ? std::string(value->data.begin(), value->data.end()) : "-";
    }
    std::string Log() { return env.files.files["C:\\Tools\\SarnetLog.txt"]; }
};

// The outcome of every action, entry by entry: "1: set change; 2: fail skip".
std::string Outcomes(const json::Value& report) {
    std::string words;
    for (const json::Value& entry : report["entries"].items) {
        words += (words.empty() ? "" : "; ") + entry["number"].text + ":";
        for (const json::Value& action : entry["actions"].items) {
            words += " " + action["outcome"].text;
        }
    }
    return words;
}

const std::string kDword = std::string("\x05\0\0\0", 4);

// Every kind of action and outcome: values new, changed, kept and deleted, a conversion that
// stops its list, a command that starts, one that cannot be found, a query that warns and one
// never examined, and an entry that is not enabled.
class PlanAndApply : public ::testing::Test {
protected:
    void SetUp() override {
        m.Write(Item("1", "<RegistryEntries>" + Registry(kKey + "\\New", "A", "DWORD", "1") +
                              Registry(kKey, "B", "STRING", "x") +
                              Registry(kKey, "C", "DWORD", "5") +
                              Registry(kKey, "D", "STRING", "") + "</RegistryEntries>") +
                Item("2", "<RegistryEntries>" + Registry(kKey, "E", "DWORD", "many") +
                              Registry(kKey, "F", "DWORD", "1") + "</RegistryEntries>" +
                              "<CommandLines><CommandLine><Command>tool.exe /a</Command>"
                              "</CommandLine><CommandLine><Command>missing.exe</Command>"
                              "</CommandLine><CommandLine><Command>tool.exe /b</Command>"
                              "</CommandLine></CommandLines><WMIQueries><WMIQuery><Command>"
                              "SELECT * FROM Found</Command><WarningLevel>2</WarningLevel>"
                              "</WMIQuery><WMIQuery><Command>SELECT * FROM Any</Command>"
                              "<WarningLevel>9999</WarningLevel></WMIQuery></WMIQueries>") +
                Item("3", "<CommandLines><CommandLine><Command>tool.exe /off</Command>"
                          "</CommandLine></CommandLines>",
                     "False"));
        m.Preset("B", reg::kSz, std::string("y\0", 2));
        m.Preset("C", reg::kDword, kDword);
        m.Preset("D", reg::kSz, std::string("gone\0", 5));
        m.programs.files = {"C:\\Windows\\System32\\tool.exe"};
        m.processes.failures["missing.exe"] = 2;
        m.wmi.answers["SELECT * FROM Found"] = {0, 3, 0};
    }
    void ExpectMachineAsBefore() {
        EXPECT_EQ(m.Stored(kKey, "B"), std::string("y\0", 2));
        EXPECT_EQ(m.Stored(kKey, "C"), kDword);
        EXPECT_EQ(m.Stored(kKey, "D"), std::string("gone\0", 5));
        RegKey key = 0;
        EXPECT_EQ(m.registry.OpenKey(reg::RootKey(reg::kCurrentUser), "Software\\OrvikCli\\New",
                                     reg::kQueryValue, key), reg::kFileNotFound);
        EXPECT_TRUE(m.processes.tried.empty());
        EXPECT_EQ(m.Log(), "");
        EXPECT_TRUE(m.boxes.shown.empty());
    }
    Machine m;
};

TEST_F(PlanAndApply, PlanChangesNothingAndSaysWhatApplyWillDo) {
    // The invalid DWORD is an error of the catalogue: a plan still shows it all, and exits 2.
    const json::Value plan = m.Json({"plan"}, 2);
    ExpectMachineAsBefore();
    EXPECT_EQ(Outcomes(plan), "1: set change unchanged change; 2: fail skip start fail skip "
                              "found found");
    const json::Value& values = plan["entries"][0]["actions"];
    EXPECT_TRUE(values[0]["before"].IsNull());
    EXPECT_EQ(values[0]["after"]["type"].text, "REG_DWORD");
    EXPECT_EQ(values[0]["after"]["data"].Int(), 1);
    EXPECT_EQ(values[0]["createdKeys"][0].text, kKey + "\\New");
    EXPECT_EQ(values[1]["before"]["data"].text, "y");
    EXPECT_EQ(values[1]["after"]["data"].text, "x");
    EXPECT_TRUE(values[3]["after"].IsNull());
    const json::Value& second = plan["entries"][1]["actions"];
    EXPECT_EQ(second[0]["error"]["number"].Int(), 13);
    EXPECT_EQ(second[2]["program"].text, "C:\\Windows\\System32\\tool.exe");
    EXPECT_EQ(second[3]["error"]["number"].Int(), 2);
    EXPECT_EQ(second[5]["count"].Int(), 3);
    EXPECT_TRUE(second[5]["warn"].boolean);
    EXPECT_TRUE(second[6]["count"].IsNull());
    EXPECT_EQ(plan["summary"]["outcomes"]["set"].Int(), 1);

    // Refused without --force: nothing is applied.
    const json::Value refused = m.Json({"apply"}, 2);
    EXPECT_TRUE(refused["summary"]["refused"].boolean);
    EXPECT_TRUE(refused["entries"].items.empty());
    ExpectMachineAsBefore();
}

TEST_F(PlanAndApply, ApplyDoesWhatThePlanSaidAndAPlanAfterItFindsNothingToDo) {
    const json::Value apply = m.Json({"apply", "--force"}, 1);
    EXPECT_EQ(Outcomes(apply), "1: applied applied applied applied; 2: failed skip started "
                               "failed skip found found");
    EXPECT_EQ(m.Stored(kKey + "\\New", "A"), std::string("\1\0\0\0", 4));
    EXPECT_EQ(m.Stored(kKey, "B"), std::string("x\0", 2));
    EXPECT_EQ(m.Stored(kKey, "D"), "-");
    EXPECT_EQ(m.Stored(kKey, "F"), "-");
    ASSERT_EQ(m.processes.started.size(), 1u);
    EXPECT_EQ(m.processes.started[0].commandLine, "tool.exe /a");
    // The failed command is logged as the silent run logs it; the warning is reported, not shown.
    EXPECT_NE(m.Log().find("Error 2, Source = OrvikCli.CmdRunner: system text 2Trace: Command: "
                           "missing.exe\r\n"),
              std::string::npos);
    EXPECT_TRUE(m.boxes.shown.empty());
    EXPECT_TRUE(apply["entries"][1]["actions"][5]["warn"].boolean);

    const json::Value again = m.Json({"plan", "--items", "1"}, 2);
    EXPECT_EQ(Outcomes(again), "1: unchanged unchanged unchanged unchanged");
}

TEST(ConsoleCommands, ExitCodes) {
    const std::string warns = Item("1", "<WMIQueries><WMIQuery><Command>SELECT * FROM W</Command>"
                                        "<WarningLevel>1</WarningLevel></WMIQuery></WMIQueries>");
    const std::string clean = Item("1", "<CommandLines><CommandLine><Command>tool.exe</Command>"
                                        "</CommandLine></CommandLines>");
    const struct {
        std::string catalogue;  // "-": no file at all
        std::vector<std::string> arguments;
        int exitCode;
    } cases[] = {
        {clean, {"validate"}, 0},
        {clean, {"plan"}, 0},
        {clean, {"apply", "--this-windows"}, 0},
        {"-", {"validate"}, 2},
        {"-", {"plan"}, 2},
        {"-", {"apply", "--force"}, 2},
        {"<Item><Number>x</Number></Item>", {"validate"}, 0},  // warnings only
        {warns, {"apply"}, 3},
        {warns, {"plan"}, 3},
        {clean, {"apply", "--items", "2"}, 64},
        {clean, {"validate", "--force"}, 64},
        {clean, {"plan", "--items"}, 64},
        {clean, {"undo"}, 64},
        {clean, {}, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.catalogue + " " + (c.arguments.empty() ? "" : c.arguments[0]));
        Machine m;
        m.programs.files = {"C:\\Tools\\tool.exe"};
        m.wmi.answers["SELECT * FROM W"] = {0, 1, 0};
        if (c.catalogue != "-") m.Write(c.catalogue);
        std::vector<std::string> arguments = c.arguments;
        if (!arguments.empty()) {
            arguments.insert(arguments.end(), {"--catalogue", testsupport::Utf8(m.catalogue)});
        }
        EXPECT_EQ(m.Run(arguments), c.exitCode) << m.console.err;
        EXPECT_EQ(m.console.err.find("usage: OrvikCli validate") != std::string::npos,
                  c.exitCode == 64);
        EXPECT_TRUE(m.boxes.shown.empty());
    }
}

TEST(ConsoleCommands, SelectionByWindowsAndNumbers) {
    Machine m;  // identified as Windows 7
    const std::string body = "<CommandLines><CommandLine><Command>tool.exe</Command>"
                             "</CommandLine></CommandLines>";
    m.programs.files = {"C:\\Tools\\tool.exe"};
    m.Write(Item("1", body, "True", "Windows7") + Item("2", body, "True", "Windows10") +
            Item("3", body, "False", "ALL") + Item("4", body, "True", "WindowsXP ALL"));
    EXPECT_EQ(Outcomes(m.Json({"plan"}, 0)), "1: start; 2: start; 4: start");
    EXPECT_EQ(Outcomes(m.Json({"plan", "--this-windows"}, 0)), "1: start; 4: start");
    const json::Value named = m.Json({"plan", "--items", "2,3", "--items=4"}, 0);
    EXPECT_EQ(Outcomes(named), "2: start; 4: start");
    EXPECT_EQ(named["problems"][0]["code"].text, "item-not-enabled");
    EXPECT_EQ(m.Run({"plan", "--this-windows", "--items", "2", "--catalogue",
                     testsupport::Utf8(m.catalogue)}),
              64);
}

TEST(ConsoleCommands, TextKeepsNonAsciiAndTellsProgressOnStandardError) {
    Machine m;
    m.Write("<Item><Number>7</Number><Name>Größe ändern</Name><Enabled>True</Enabled>"
            "<RegistryEntries>" +
            Registry(kKey, "Wert", "STRING", "Ça va") + "</RegistryEntries></Item>");
    EXPECT_EQ(m.Run({"apply", "--catalogue", testsupport::Utf8(m.catalogue)}), 0);
    EXPECT_NE(m.console.out.find("7  Größe ändern"), std::string::npos) << m.console.out;
    EXPECT_NE(m.console.out.find("(absent) -> REG_SZ \"Ça va\""), std::string::npos);
    EXPECT_EQ(m.console.err, "1 of 1: 7 Größe ändern\n");
    EXPECT_EQ(m.Stored(kKey, "Wert"), std::string("Ça va\0", 7));
}

TEST(ConsoleCommands, ProgramsAreFoundAsProcessStartFindsThem) {
    FakePrograms programs;
    programs.files = {"C:\\Tools\\a.exe", "C:\\Windows\\System32\\a.exe",
                      "C:\\Windows\\System32\\b.exe", "C:\\Program Files\\App\\c.exe",
                      "C:\\Short.exe", "D:\\x.com"};
    const struct {
        std::string command;
        std::string program;  // "" when none is found
    } cases[] = {
        {"a.exe /x", "C:\\Tools\\a.exe"},  // the program's own folder first
        {"b /x", "C:\\Windows\\System32\\b.exe"},
        {"  \"C:\\Program Files\\App\\c.exe\" /x", "C:\\Program Files\\App\\c.exe"},
        {"C:\\Program Files\\App\\c.exe /x", "C:\\Program Files\\App\\c.exe"},
        {"C:\\Short Name\\y.exe", "C:\\Short.exe"},  // the shortest run of words that is a file
        {"D:\\x.com", "D:\\x.com"},
        {"D:\\x", ""},
        {"missing.exe", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::FindProgram(c.command, programs).value_or(""), c.program) << c.command;
    }
}

TEST(ConsoleCommands, CommandLine) {
    using cli::Command;
    const cli::Options plan = cli::ParseOptions(
        {"plan", "--catalogue=C:\\c.xml", "--items", " 3, 4", "--this-windows", "--json"});
    EXPECT_EQ(plan.command, Command::Plan);
    EXPECT_EQ(plan.catalogue.value_or(""), "C:\\c.xml");
    EXPECT_EQ(plan.items, (std::vector<std::string>{"3", "4"}));
    EXPECT_TRUE(plan.thisWindows && plan.json && !plan.force);
    EXPECT_TRUE(cli::ParseOptions({"apply", "--force"}).force);
    EXPECT_EQ(cli::ParseOptions({"--version"}).command, Command::Version);
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"plan", "--force"}, {"validate", "--items", "1"}, {"apply", "--json=yes"},
             {"apply", "--items", "1,,2"}, {"apply", "--catalogue"}, {"apply", "-json"},
             {"--version", "plan"}, {"Apply"}}) {
        EXPECT_THROW(cli::ParseOptions(wrong), cli::UsageError) << wrong[0] << " " << wrong.back();
    }
}

TEST(ConsoleCommands, Sha256OfPublishedVectors) {
    EXPECT_EQ(cli::Sha256Hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(cli::Sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(cli::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(cli::Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace

// Every check, at the line and column where its element starts.
TEST(ConsoleCommands, ValidateFindsEachProblemWhereItStands) {
    const std::vector<std::string> lines = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<Optimizations>",
        "  <Item><Number>1</Number><OSVersion>Windows 7</OSVersion><Mode>Fast</Mode>"
        "<Enabled>yes</Enabled>",
        "    <Colour>red</Colour>",
        "    <RegistryEntries><RegistryEntry><Key>HKCU\\Software\\X</Key><KeyType>QWORD</KeyType>"
        "<Value>abc</Value></RegistryEntry>",
        "      <RegistryEntry><Key></Key><KeyType>BINARY</KeyType><Value>0A0</Value>"
        "</RegistryEntry></RegistryEntries>",
        "    <CommandLines><CommandLine><Command></Command></CommandLine></CommandLines>",
        "    <WMIQueries><WMIQuery><Command>ASSOCIATORS OF {x}</Command><WarningLevel>0"
        "</WarningLevel></WMIQuery><WMIQuery><Command>select * from y</Command><WarningLevel>"
        "many</WarningLevel></WMIQuery></WMIQueries></Item>",
        "  <Item><Number>1</Number></Item>",
        "  <Item><Number>07</Number><RegistryEntries><RegistryEntry><Key>HKEY_USERS\\x</Key>"
        "<KeyType>BINARY</KeyType><Value>,</Value></RegistryEntry></RegistryEntries></Item>",
        "</Optimizations>",
    };
    // code, line, and the text the element starts with on that line (the n-th time it stands
    // there).
    const struct {
        const char* code;
        size_t line;
        const char* element;
        int nth = 1;
    } expected[] = {
        {"unknown-version", 3, "<OSVersion>"}, {"unknown-version", 3, "<OSVersion>"},
        {"unknown-mode", 3, "<Mode>"},         {"unclear-enabled", 3, "<Enabled>"},
        {"unknown-element", 4, "<Colour>"},    {"unknown-root", 5, "<RegistryEntry>"},
        {"invalid-dword", 5, "<RegistryEntry>"}, {"unknown-key-type", 5, "<KeyType>"},
        {"empty-key", 6, "<RegistryEntry>"},   {"invalid-binary", 6, "<RegistryEntry>"},
        {"empty-command", 7, "<CommandLine>"}, {"query-not-select", 8, "<WMIQuery>"},
        {"warning-level-always", 8, "<WMIQuery>"},
        {"invalid-warning-level", 8, "<WarningLevel>", 2},
        {"duplicate-number", 9, "<Item>"},     {"no-action", 9, "<Item>"},
        {"number-not-plain", 10, "<Item>"},    {"empty-binary", 10, "<RegistryEntry>"},
    };
    Machine m;
    std::string file;
    for (const std::string& line : lines) file += line + "\n";
    std::ofstream(m.catalogue, std::ios::binary) << file;
    const json::Value report = m.Json({"validate"}, 2);

    std::vector<std::string> found, wanted;
    for (const json::Value& problem : report["problems"].items) {
        found.push_back(problem["code"].text + " " + std::to_string(problem["line"].Int()) + ":" +
                        std::to_string(problem["column"].Int()));
    }
    for (const auto& e : expected) {
        size_t at = std::string::npos;
        for (int n = 0; n < e.nth; ++n) at = lines[e.line - 1].find(e.element, at + 1);
        wanted.push_back(std::string(e.code) + " " + std::to_string(e.line) + ":" +
                         std::to_string(at + 1));
    }
    EXPECT_EQ(found, wanted);
    EXPECT_EQ(report["summary"]["errors"].Int(), 12);
    EXPECT_EQ(report["entries"][2]["line"].Int(), 10);

    // A file that gives no catalogue at all: nothing to plan either.
    for (const auto& [text, code] : {std::pair("<Catalogue><Item/></Catalogue>", "wrong-root"),
                                     {"<Optimizations><Item></Optimizations>", "not-well-formed"},
                                     {"<!DOCTYPE x><Optimizations/>", "refused-file"}}) {
        std::ofstream(m.catalogue, std::ios::binary) << text;
        EXPECT_EQ(m.Json({"validate"}, 2)["problems"][0]["code"].text, code);
        EXPECT_EQ(m.Json({"plan"}, 2)["entries"].items.size(), 0u);
    }
}
