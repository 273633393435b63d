// The console program's commands on the doubles: every exit code and which wins, the options,
// every problem validate finds. The session's journal, undo and hive: SessionTest.cpp.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "FakeFileSecurity.h"
#include "FakePolicyFolders.h"
#include "FakeRunLock.h"
#include "Holds.h"
#include "JsonReader.h"
#include "SessionDoubles.h"
#include "TestSupport.h"
#include "cli/Options.h"
#include "cli/OrvikCli.h"
#include "engine/checks/Sha256.h"
#include "engine/plan/PlanAdapters.h"
#include "env/FileTrust.h"
#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/ReportRenderer.h"
#include "platform/UserHives.h"
#include "platform/XmlDocument.h"

namespace {

using json::Codes;
using json::Outcomes;
using testsupport::Holds;

class FakeConsole final : public Console {
public:
    std::string out, err;
    uint32_t outFailure = 0;  // what standard output fails with
    uint32_t Out(const std::string& text) override { return out += text, outFailure; }
    void Err(const std::string& text) override { err += text; }
    uint32_t OutBytes(const std::string& bytes) override { return out += bytes, outFailure; }
};

// The report command is the real program's test: here it only has to be there.
class NoReports final : public ReportRenderer {
public:
    RenderedReport RenderReport(const std::string&, const std::string&) override { return {}; }
};

const std::string kKey = "HKEY_CURRENT_USER\\Software\\OrvikCli";

std::string Registry(const std::string& key, const std::string& name, const std::string& type,
                     const std::string& value) {
    return "<RegistryEntry><Key>" + key + "</Key><ValueName>" + name + "</ValueName><KeyType>" +
           type + "</KeyType><Value>" + value + "</Value></RegistryEntry>";
}

std::string Values(const std::string& entries) {
    return "<RegistryEntries>" + entries + "</RegistryEntries>";
}
std::string Commands(std::initializer_list<std::string> lines) {
    std::string list;
    for (const std::string& line : lines)
        list += "<CommandLine><Command>" + line + "</Command></CommandLine>";
    return "<CommandLines>" + list + "</CommandLines>";
}

std::string Item(const std::string& number, const std::string& body,
                 const std::string& enabled = "True", const std::string& versions = "ALL") {
    return "<Item><Number>" + number + "</Number><Name>Entry " + number + "</Name><Enabled>" +
           enabled + "</Enabled><OSVersion>" + versions + "</OSVersion>" + body + "</Item>";
}

struct Machine : SessionMachine {
    FakeConsole console;
    NoReports reports;
    FakePolicyFolders policies;
    FakeFileSecurity security;
    FakeRunLock lock;
    std::filesystem::path catalogue =
        std::filesystem::temp_directory_path() /
        ("orvik-cli-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".xml");

    Machine() { env.system.executablePath = "C:\\Tools\\OrvikCli.exe"; }
    ~Machine() { std::filesystem::remove(catalogue); }

    void Write(const std::string& items) {
        std::ofstream(catalogue, std::ios::binary)
            << "<Optimizations>" << items << "</Optimizations>";
    }
    int Run(std::vector<std::string> arguments) {
        console.out.clear();
        console.err.clear();
        cli::CliPlatform platform{*xml,  Engine(), programs, console,  files,
                                  hives, reports,  policies, security, lock};
        return cli::Main(arguments, platform);
    }
    int Text(std::vector<std::string> arguments) {
        arguments.push_back("--catalogue=" + testsupport::Utf8(catalogue));
        return Run(arguments);
    }
    json::Value Json(std::vector<std::string> arguments, int exitCode) {
        arguments.push_back("--json");
        EXPECT_EQ(Text(arguments), exitCode) << console.err;
        const json::Value report = json::Parse(console.out);
        EXPECT_EQ(report["summary"]["exitCode"].Int(), exitCode);
        return report;
    }
    json::Value Undo(const std::string& journal, int exitCode) {
        EXPECT_EQ(Run({"undo", journal, "--json"}), exitCode) << console.out << console.err;
        return json::Parse(console.out);
    }
};

const std::string kDword = std::string("\x05\0\0\0", 4);

TEST(ConsoleCommands, ExitCodes) {
    const std::string warns = Item("1",
                                   "<WMIQueries><WMIQuery><Command>SELECT * FROM W</Command>"
                                   "<WarningLevel>1</WarningLevel></WMIQuery></WMIQueries>");
    const std::string command = Commands({"C:\\Tools\\tool.exe"});
    const std::string clean = Item("1", command);
    const std::string pending = Item("1", Values(Registry(kKey, "P", "DWORD", "1")));
    const std::string broken = warns + Item("2", Values(Registry(kKey, "E", "DWORD", "many")));
    const struct {
        std::string catalogue;  // "-": no file at all
        std::string arguments;  // split at blanks
        int exitCode;
        std::deque<RunLock::Taken> lock{};  // what apply finds of the run lock
    } cases[] = {
        {clean, "validate", 0},
        {clean, "plan", 0},
        {clean, "apply --this-windows", 0},
        {clean, "plan --this-windows --all-versions", 64},
        {"-", "validate", 2},
        {"-", "plan", 2},
        {"-", "apply --force", 2},
        {"<Item><Number>x</Number></Item>", "validate", 0},  // warnings only
        {warns, "apply", 3},
        {warns, "plan", 3},
        {broken, "plan", 2},  // an error of the catalogue before a warning
        {broken, "apply", 2},
        {broken, "apply --force", 1},  // a failed action before a warning
        {clean, "apply --items 2", 64},
        {clean, "validate --force", 64},
        {clean, "plan --items", 64},
        {clean, "undo", 64},
        {clean, "", 64},
        {clean, "plan --default-hive x", 64},
        {clean, "apply --user nobody", 64},
        {clean, "validate --items 1", 64},
        {clean, "apply --json=yes", 64},
        {clean + Item("", command), "apply --items ,1", 64},  // even for a blank Number
        {clean, "apply -json", 64},
        {clean, "--version plan", 64},
        {clean, "apply --catalogue", 64},
        // --strict: warnings count as errors; apply refuses them without --force
        {clean + Item("x", command), "validate", 0},
        {clean + Item("x", command), "validate --strict", 2},
        {clean + Item("x", command), "plan --strict", 2},
        {clean + Item("x", command), "apply --strict", 2},
        {clean + Item("x", command), "apply --strict --force", 0},
        {clean, "apply --strict --items 1,2", 64},
        {clean + Item("2", command, "False"), "apply --strict --items 1,2", 2},
        {clean, "apply --strict", 0},
        {clean, "validate --no-policy-definitions --policy-definitions C:\\D", 64},
        {clean, "validate --policy-definitions", 64},
        {clean, "report --strict", 64},
        {clean, "apply --no-wait --command-timeout 5", 64},
        {clean, "apply --command-timeout 0", 64},
        {clean, "apply --command-timeout 2000001", 64},
        {clean, "plan --no-wait", 64},
        {clean, "PLAN --This-Windows", 0},        // any letter case
        {clean, "apply --category nothing", 64},  // no entry has it: a typing error
        {clean, "undo --dry-run", 64},
        // Another run holds the lock: busy wins over what the run would have ended with.
        {clean, "apply --wait-for-lock 0", 6, {RunLock::Taken::Busy}},
        {broken, "apply --force", 6, {RunLock::Taken::Busy}},
        {clean, "apply", 2, {RunLock::Taken::Failed}},
        {clean, "apply", 0, {RunLock::Taken::Abandoned}},
        {clean, "plan", 0, {RunLock::Taken::Busy}},  // a plan changes nothing: no lock
        {clean, "apply --wait-for-lock x", 64},
        {clean, "plan --wait-for-lock 1", 64},
        // An option given twice is a mistake, unless it adds to a selection.
        {clean, "plan --catalogue other.xml", 64},
        {clean, "apply --user default --USER current", 64},
        {clean, "apply --journal a --journal=b", 64},
        {clean, "plan --quiet --quiet", 64},
        {clean, "plan --items 1 --items 1", 0},
        // Values each in the catalogue that select nothing together.
        {clean + Item("2", "<Impact>HIGH</Impact>" + command), "plan --items 1 --impact HIGH", 64},
        {clean, "plan --items 1 --exclude 1", 64},
        // --detailed-exitcode: 2 pending, 0 in place (command lines and a check's warning are
        // neither), 1 for anything else.
        {clean, "plan --detailed-exitcode", 0},
        {warns, "plan --detailed-exitcode", 0},
        {pending, "plan --detailed-exitcode", 2},
        {broken, "plan --detailed-exitcode", 1},
        {pending + Item("2", Commands({"C:\\Nowhere\\x.exe"})), "plan --detailed-exitcode",
         1},  // a failure before what is pending
        {"-", "plan --detailed-exitcode", 1},
        {clean, "apply --detailed-exitcode", 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.catalogue + " " + c.arguments);
        Machine m;
        m.programs.files = {"C:\\Tools\\tool.exe"};
        m.wmi.answers["SELECT * FROM W"] = {0, 1, 0};
        if (c.catalogue != "-") m.Write(c.catalogue);
        m.lock.script = c.lock;
        std::vector<std::string> arguments;
        std::istringstream words(c.arguments);
        for (std::string word; words >> word;) arguments.push_back(word);
        if (!arguments.empty()) {
            arguments.insert(arguments.begin() + 1,
                             {"--catalogue", testsupport::Utf8(m.catalogue)});
        }
        EXPECT_EQ(m.Run(arguments), c.exitCode) << m.console.err;
        // Wrong usage: what is wrong and where the help is, not the whole help.
        EXPECT_EQ(m.console.err.find("\nFor help: ") != std::string::npos, c.exitCode == 64);
        EXPECT_EQ(m.console.err.find("usage:"), std::string::npos);
        EXPECT_TRUE(m.boxes.shown.empty());
        EXPECT_EQ(m.lock.held, 0);
        if (!c.lock.empty()) {
            ASSERT_EQ(m.lock.waits.size(), arguments[0] == "apply" ? 1u : 0u);
            if (!m.lock.waits.empty()) {
                const bool zero = c.arguments.ends_with("--wait-for-lock 0");
                EXPECT_EQ(m.lock.waits[0], std::chrono::seconds(zero ? 0 : 60));
            }
        }
    }

    // Output that cannot be written has a code of its own, whatever the command did; no part of
    // a page stays.
    Machine m;
    m.Write(clean);
    m.console.outFailure = 112;
    for (const char* command : {"validate", "apply", "report"}) {
        EXPECT_EQ(m.Text({command}), 4) << command;
        EXPECT_TRUE(Holds(m.console.err,
                          "cannot be written: system text 112 (the report's exit code "
                          "was 0)"));
    }
    m.files.writesBeforeFailure = 0;
    EXPECT_EQ(m.Text({"report", "--out", "page.html"}), 2);
    EXPECT_EQ(m.files.files.count("page.html"), 0u);

    // A journal that could not take its head (a full disk) is not left behind to refuse a retry.
    m.console.outFailure = 0;
    m.files.writesBeforeFailure = 0;
    EXPECT_EQ(m.Text({"apply", "--journal", "j"}), 2);
    EXPECT_TRUE(Holds(m.console.out, "journal-not-made"));
    EXPECT_EQ(m.files.files.count("j"), 0u);
    m.files.writesBeforeFailure = -1;
    // Busy before anything else: no journal is made either.
    m.lock.script = {RunLock::Taken::Busy};
    EXPECT_EQ(m.Text({"apply", "--journal", "j"}), 6) << m.console.out;
    EXPECT_EQ(m.files.files.count("j"), 0u);
    EXPECT_EQ(m.Text({"apply", "--journal", "j"}), 0) << m.console.out;
}

// What the real program's test cannot wait for: the bound, 600 seconds unless given.
TEST(ConsoleCommands, CommandLinesAreAwaitedWithinTheirBound) {
    using std::chrono::seconds;
    Machine m;
    m.processes.endings["late.exe"] = {false, 0, "half\r\nway\r\n", "slow\n"};
    m.processes.endings["ok.exe"] = {true, 0, "fine\r\n", ""};
    m.Write(Item("1", Commands({"late.exe", "ok.exe"})));
    const json::Value waited = m.Json({"apply", "--command-timeout", "5"}, 1);
    EXPECT_EQ(Outcomes(waited), "1: failed skip");
    const json::Value& late = waited["entries"][0]["actions"][0];
    EXPECT_EQ(late["error"]["description"].text,
              "The command did not end within 5 seconds and was left running");
    EXPECT_EQ(late["output"]["stdout"].text + late["output"]["stderr"].text,
              "half\r\nway\r\nslow\n");
    EXPECT_TRUE(m.env.files.files["C:\\Tools\\SarnetLog.txt"].ends_with(
        "Command: late.exe Output: half way Errors: slow\r\n"));
    m.processes.endings.erase("late.exe");
    EXPECT_EQ(m.Text({"apply"}), 0);
    EXPECT_TRUE(Holds(m.console.out,
                      "ok.exe\n                    exit code 0\n"
                      "                    output\n                      fine\n"));
    m.processes.endings["late.exe"] = {false, 0, {}, {}};
    m.Json({"apply"}, 1);
    EXPECT_EQ(m.processes.limits, (std::vector<std::chrono::milliseconds>{
                                      seconds(5), seconds(600), seconds(600), seconds(600)}));
    const json::Value started = m.Json({"apply", "--no-wait"}, 0);
    EXPECT_EQ(Outcomes(started), "1: started started");
    EXPECT_TRUE(started["entries"][0]["actions"][1]["output"].IsNull());
    EXPECT_EQ(m.processes.limits.size(), 4u);
}

// The types that imports bring; a command line's effect is not known, and a delete under a key
// that is not there makes no key.
TEST(ConsoleCommands, ValuesOfEachTypeAndWhatARunChanged) {
    Machine m;
    m.Preset("Other", reg::kDword, kDword);
    m.programs.files = {"C:\\Tools\\tool.exe"};
    m.Write(Item("1", Values(Registry(kKey, "Q", "QWORD", "&amp;H0102030405060708") +
                             Registry(kKey, "Minus", "qword", "-1") +
                             Registry(kKey, "E", "EXPANDSTRING", "no pair") +
                             Registry(kKey, "M", "MULTISTRING", "a\r\nb\nc") +
                             Registry(kKey, "S", "STRING", "%x%") +
                             Registry(kKey + "\\Gone\\Deeper", "D", "MULTISTRING", "")) +
                          Commands({"C:\\Tools\\tool.exe"})));
    const json::Value plan = m.Json({"plan", "--detailed-exitcode"}, 2);
    EXPECT_EQ(Outcomes(plan), "1: set set set set set unchanged start");
    EXPECT_EQ(Outcomes(plan, "changed"), "1: yes yes yes yes yes no null");
    EXPECT_TRUE(plan["entries"][0]["actions"][5]["after"].IsNull());
    const json::Value run = m.Json({"apply"}, 0);
    const auto& actions = run["entries"][0]["actions"];
    EXPECT_EQ(Outcomes(run, "changed"), Outcomes(plan, "changed"));
    EXPECT_EQ(m.registry.Dump().find("Gone"), std::string::npos);
    EXPECT_EQ(m.Stored(kKey, "Q"), "\x08\x07\x06\x05\x04\x03\x02\x01");
    EXPECT_EQ(actions[0]["keyType"].text, "QWORD");
    EXPECT_EQ(actions[0]["after"]["type"].text, "REG_QWORD");
    EXPECT_EQ(actions[0]["after"]["data"].text, "72623859790382856");
    EXPECT_EQ(actions[1]["after"]["data"].text, "18446744073709551615");
    EXPECT_EQ(actions[2]["after"]["type"].text, "REG_EXPAND_SZ");
    EXPECT_EQ(m.Stored(kKey, "M"), std::string("a\0b\0c\0\0", 7));
    EXPECT_EQ(actions[3]["after"]["type"].text, "REG_MULTI_SZ");
    EXPECT_EQ(actions[4]["after"]["type"].text, "REG_EXPAND_SZ") << "the % rule stays";
    EXPECT_TRUE(run["summary"]["changed"].boolean);
    EXPECT_EQ(run["summary"]["changes"].Int() * 10 + run["summary"]["unchanged"].Int(), 51);
    const json::Value again = m.Json({"apply"}, 0);
    EXPECT_EQ(Outcomes(again, "changed"), "1: no no no no no no null");
    EXPECT_EQ(again["summary"]["unchanged"].Int() * 2 + again["summary"]["changed"].boolean, 12);
    m.Json({"plan", "--detailed-exitcode"}, 0);
    EXPECT_EQ(m.Text({"apply", "--quiet"}), 0);
    EXPECT_TRUE(Holds(m.console.out, "\\S: REG_EXPAND_SZ \"%x%\" -> REG_EXPAND_SZ \"%x%\"\n" +
                                         std::string(20, ' ') + "unchanged: already in place"));
    EXPECT_TRUE(Holds(m.console.out,
                      "1 ran, 0 found, 0 failed, 0 skip; 0 changed, 6 unchanged; 0 "
                      "errors"));
    m.Text({"plan"});
    EXPECT_TRUE(Holds(m.console.out, "REG_QWORD 72623859790382856"));
    EXPECT_TRUE(Holds(m.console.out, "; 0 would change, 6 unchanged; "));
}

// import names the values by the machine's policy definitions, after the catalogue's last Number.
TEST(ConsoleCommands, ExportToRegistryPolAndImportItBack) {
    Machine m;
    const std::string policies = "HKEY_LOCAL_MACHINE\\Software\\Policies\\Orvik";
    m.Write(Item(
        "41", Values(Registry(policies, "NoAutoRun", "DWORD", "1") +
                     Registry(policies + "\\L", "any name", "STRING", "x") +
                     Registry(kKey, "Mine", "QWORD", "5") + Registry(kKey, "Gone", "STRING", "")) +
                  Commands({"x.exe"})));
    const json::Value exported = m.Json({"export", "--format", "pol", "--out", "C:\\gpo"}, 0);
    EXPECT_EQ(exported["leftOut"][0]["kind"].text, "command");
    EXPECT_EQ(exported["summary"]["values"].Int(), 4);
    EXPECT_TRUE(
        Holds(m.console.err, "HKEY_CURRENT_USER\\Software\\OrvikCli is outside the policy keys"));
    ASSERT_EQ(m.files.files.count("C:\\gpo\\User\\Registry.pol"), 1u);
    EXPECT_TRUE(
        Holds(m.files.files["C:\\gpo\\User\\Registry.pol"], std::string("*\0d\0e\0l\0.\0G", 11)));
    m.policies.files["C:\\Windows\\PolicyDefinitions\\o.admx"] =
        "<policyDefinitions xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/"
        "PolicyDefinitions\"><policies><policy name=\"NoRun\" class=\"Machine\" "
        "displayName=\"$(string.N)\" explainText=\"$(string.H)\" key=\"Software\\Policies\\Orvik\" "
        "valueName=\"NoAutoRun\"/><policy name=\"Listed\" class=\"Both\" displayName=\"Listed\" "
        "key=\"Software\\Policies\\Orvik\"><elements><list id=\"L\" "
        "key=\"Software\\Policies\\Orvik\\L\"/></elements></policy></policies></policyDefinitions>";
    m.policies.files["C:\\Windows\\PolicyDefinitions\\en-US\\o.adml"] =
        "<policyDefinitionResources><resources><stringTable><string id=\"N\">No run</string>"
        "<string id=\"H\">Stops it. Really.</string></stringTable></resources>"
        "</policyDefinitionResources>";
    const std::string into = "--into=" + testsupport::Utf8(m.catalogue);
    EXPECT_EQ(m.Run({"import", "C:\\gpo\\Machine\\Registry.pol", into}), 0) << m.console.err;
    EXPECT_EQ(m.Run({"import", "C:\\gpo\\User\\Registry.pol", into, "--json"}), 0);
    EXPECT_EQ(json::Parse(m.console.out)["summary"]["entries"].Int(), 1);
    std::ifstream file(m.catalogue);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_TRUE(Holds(text, "<Number>42</Number>\n    <Name>No run</Name>"));
    EXPECT_TRUE(Holds(text, "Stops it. Imported from Registry.pol."));
    EXPECT_TRUE(Holds(text, "<Name>Listed</Name>")) << "a list's value";
    EXPECT_TRUE(
        Holds(text, "<Number>44</Number>\n    <Name>HKEY_CURRENT_USER\\Software\\OrvikCli</Name>"));
    m.files.files["C:\\x\\Registry.pol"] = m.files.files["C:\\gpo\\User\\Registry.pol"];
    EXPECT_EQ(m.Run({"import", "C:\\x\\Registry.pol", into}), 64) << "whose is it?";
    m.files.files["C:\\x\\cut.pol"] = m.files.files["C:\\x\\Registry.pol"].substr(0, 20);
    EXPECT_EQ(m.Run({"import", "C:\\x\\cut.pol", "--root", "hkcu", "--out", "C:\\new.xml"}), 2);
    EXPECT_TRUE(Holds(m.console.err, "at byte 20: the file ends inside a record"));
    EXPECT_EQ(m.Run({"export", "--format", "reg", "--local-policy"}), 64);
    // --remove takes ours out of the file there and makes none where there is none.
    m.files.files.erase("C:\\gpo\\Machine\\Registry.pol");
    m.Json({"export", "--format", "pol", "--out", "C:\\gpo", "--remove"}, 0);
    EXPECT_EQ(m.files.files["C:\\gpo\\User\\Registry.pol"], std::string("PReg\1\0\0\0", 8));
    EXPECT_EQ(m.files.files.count("C:\\gpo\\Machine\\Registry.pol"), 0u);
}

// What the console adds to the session's undo and default profile: exit codes and counts.
TEST(ConsoleCommands, UndoAndTheDefaultProfileExitAsTheyEnd) {
    Machine m;
    m.Preset("A", reg::kSz, std::string("0\0", 2));
    m.Write(
        Item("1", Values(Registry(kKey, "A", "STRING", "1") + Registry(kKey, "B", "DWORD", "1"))));
    EXPECT_EQ(Outcomes(m.Json({"apply", "--journal", "j"}, 0)), "1: applied applied");
    // While another run holds the lock, undo does nothing and says so; a dry run does not ask.
    m.lock.script = {RunLock::Taken::Busy, RunLock::Taken::Busy};
    EXPECT_EQ(m.Run({"undo", "j", "--dry-run"}), 0) << m.console.out;
    EXPECT_EQ(m.Run({"undo", "j", "--wait-for-lock", "3"}), 6);
    EXPECT_TRUE(Holds(m.console.out, " busy: another run of Orvik Optimizer"));
    EXPECT_EQ(m.lock.waits.back(), std::chrono::seconds(3));
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("1\0", 2));
    m.lock.script.clear();
    m.Preset("B", reg::kDword, kDword);
    const json::Value undone = m.Undo("j", 5);
    EXPECT_EQ(undone["summary"]["outcomes"]["restored"].Int(), 1);
    EXPECT_EQ(undone["summary"]["outcomes"]["conflict"].Int(), 1);
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("0\0", 2));
    EXPECT_EQ(m.Undo("none", 2)["problems"][0]["code"].text, "unreadable");
    m.files.files["empty"] = "";
    EXPECT_EQ(m.Undo("empty", 2)["problems"][0]["code"].text, "no-journal");

    const std::string hive = "C:\\Hive\\NTUSER.DAT";
    EXPECT_EQ(
        m.Json({"apply", "--user", "both", "--default-hive", hive}, 2)["problems"][0]["code"].text,
        "hive-not-loaded");
}

// A missing hive file is refused before anything is loaded (loading it would make an empty hive).
TEST(ConsoleCommands, DefaultProfileAsTheSystemNamesIt) {
    Machine m;
    m.hives.profileFolder = "D:\\Profiles\\Default User";
    const std::string hive = "D:\\Profiles\\Default User\\NTUSER.DAT";
    m.Preset("V", reg::kSz, std::string("p\0", 2), "HKEY_USERS\\Staged\\Software\\OrvikCli");
    ASSERT_TRUE(m.registry.MoveTree("HKEY_USERS\\Staged", "FILE\\" + hive));
    m.Write(Item("1", Values(Registry(kKey, "V", "STRING", "x"))));
    const std::string loaded = "load " + hive;
    const struct {
        const char* name;
        std::function<void()> arrange;
        int exitCode;
        const char* problem;
        std::string calls;  // "load": of that hive
    } cases[] = {
        {"found", [] {}, 0, "", "enable load drop enable unload drop"},
        {"unloaded at the third try",
         [&] { m.hives.unloadFailure = 32, m.hives.failingUnloads = 2; }, 0, "",
         "enable load drop enable unload pause unload pause unload drop"},
        {"never unloaded", [&] { m.hives.unloadFailure = 32, m.hives.failingUnloads = -1; }, 1,
         "hive-not-unloaded",
         "enable load drop enable unload pause unload pause unload pause unload pause unload drop"},
        {"no privileges", [&] { m.hives.privileges = 1300; }, 2, "no-privileges", "enable drop"},
        {"missing", [&] { m.hives.missing = {hive}; }, 2, "hive-not-found", ""},
        {"no folder", [&] { m.hives.profileFolder.clear(); }, 2, "hive-not-found", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        m.hives.calls.clear();
        const json::Value report = m.Json({"apply", "--user", "default"}, c.exitCode);
        EXPECT_EQ(report["problems"][0]["code"].text, c.problem);
        std::string calls;
        for (const std::string& call : m.hives.calls) {
            calls += (calls.empty() ? "" : " ") + (call == loaded ? "load" : call);
        }
        EXPECT_EQ(calls, c.calls);
        m.hives.unloadFailure = 0;
        if (c.exitCode == 1) {  // left loaded: as a later `reg unload` would
            ASSERT_TRUE(m.registry.MoveTree("HKEY_USERS\\OrvikDefaultProfile", "FILE\\" + hive));
        }
    }
    EXPECT_EQ(m.Stored("FILE\\" + hive + "\\Software\\OrvikCli", "V"), std::string("x\0", 2));
}

TEST(ConsoleCommands, SelectionByWindowsAndNumbers) {
    Machine m;  // identified as Windows 7
    const std::string command = "<CommandLine><Command>C:\\Tools\\tool.exe</Command></CommandLine>";
    const std::string body = "<CommandLines>" + command + command + "</CommandLines>";
    m.programs.files = {"C:\\Tools\\tool.exe"};
    const auto of = [](const char* category, const char* impact) {
        return std::string("<Category>") + category + "</Category><Impact>" + impact + "</Impact>";
    };
    m.Write(Item("1", body + of("STORAGE", "HIGH"), "True", "Windows7") +
            Item("2", body + of("STORAGE", "LOW"), "True", "Windows10 WindowsXP") +
            Item("3", body, "False", "ALL") +
            Item("4", body + of("USER EXPERIENCE", "LOW"), "True", "WindowsXP ALL") +
            Item("5", "", "True", ""));
    // Entries for other Windows stand where they are, left out, with the versions they are for.
    const json::Value plan = m.Json({"plan"}, 0);
    EXPECT_EQ(Outcomes(plan), "1: start start; 2: skip skip; 4: start start; 5:");
    EXPECT_EQ(plan["entries"][1]["reason"].text,
              "meant for Windows 10, Windows XP, not this Windows (Windows 7)");
    EXPECT_EQ(plan["entries"][3]["reason"].text,
              "meant for no Windows version, not this Windows (Windows 7)");
    EXPECT_TRUE(plan["entries"][0]["reason"].IsNull());
    EXPECT_EQ(plan["summary"]["leftOut"].Int(), 2);
    EXPECT_EQ(plan["summary"]["outcomes"]["skip"].Int(), 2);
    EXPECT_EQ(Outcomes(m.Json({"plan", "--this-windows"}, 0)), Outcomes(plan));
    EXPECT_EQ(Outcomes(m.Json({"plan", "--all-versions"}, 0)),
              "1: start start; 2: start start; 4: start start; 5:");
    const json::Value named = m.Json({"plan", "--items", " 2, 3", "--items=4"}, 0);
    EXPECT_EQ(Outcomes(named), "2: skip skip; 4: start start");
    EXPECT_EQ(named["problems"][0]["code"].text, "offered-nowhere");  // entry 5
    EXPECT_EQ(named["problems"].items.back()["code"].text, "item-not-enabled");
    // Each kind of selection narrows, any of its values will do; --exclude then leaves out.
    const std::pair<std::vector<std::string>, std::string> selections[] = {
        {{"plan", "--Category", "storage"}, "1: start start; 2: skip skip"},
        {{"plan", "--impact", "high", "--IMPACT=Low"},
         "1: start start; 2: skip skip; 4: start start"},
        {{"plan", "--category", "STORAGE", "--impact", "LOW"}, "2: skip skip"},
        {{"plan", "--category", "user experience,storage", "--exclude", "1"},
         "2: skip skip; 4: start start"},
        {{"plan", "--items", "1,4", "--impact", "low"}, "4: start start"},
    };
    for (const auto& [arguments, outcomes] : selections) {
        EXPECT_EQ(Outcomes(m.Json(arguments, 0)), outcomes) << arguments[2];
    }

    // Progress counts the entries that run; the text says why the others were left out, and
    // the journal does not hold them.
    EXPECT_EQ(m.Text({"apply", "--journal", "j"}), 0);
    EXPECT_EQ(m.console.err, "1 of 2: 1 Entry 1\n2 of 2: 4 Entry 4\n");
    EXPECT_TRUE(Holds(m.console.out,
                      "2  Entry 2  (line 1)\n  left out: meant for Windows 10, "
                      "Windows XP, not this Windows (Windows 7)\n  command   skip"));
    EXPECT_TRUE(Holds(m.console.out, "0 failed, 2 skip (2 entries for other Windows left out); "));
    EXPECT_EQ(m.files.files["j"].find("Entry 2"), std::string::npos);
}

// The registry's limits count UTF-16 characters: a key name (each of a path) of 255, a value
// name of 16,383. A plan refuses longer ones as Windows does, though Wine takes a key name of 256.
TEST(ConsoleCommands, PlanRefusesNamesLongerThanTheRegistryTakes) {
    const std::string e = "\xC3\xA9", smile = "\xF0\x9F\x98\x80";  // one character, a pair
    const auto times = [](std::string piece, size_t count) {
        std::string text;
        while (count-- > 0) text += piece;
        return text;
    };
    const std::tuple<std::string, std::string, int32_t> cases[] = {
        {times("k", 255), "v", 0},          {times("k", 256), "v", 87},
        {"a\\" + times("k", 256), "v", 87}, {times(e, 255), "v", 0},
        {"k", times("v", 16383), 0},        {"k", times("v", 16384), 87},
        {"k", times(smile, 8191) + "v", 0}, {"k", times(smile, 8192), 87}};
    for (const auto& [subKey, name, expected] : cases) {
        RegistryDouble machine;
        engine::PlanRegistry plan(machine);
        RegKey key = 0;
        const uint8_t data[] = {'x', 0};
        int32_t result =
            plan.CreateKey(reg::RootKey(reg::kCurrentUser), subKey, reg::kAllSpecificRights, key);
        if (result == 0) result = plan.SetValue(key, name, reg::kSz, data, sizeof data);
        EXPECT_EQ(result, expected) << subKey.size() << " " << name.size();
    }
}

TEST(ConsoleCommands, ProgramsAreFoundAsProcessStartFindsThem) {
    FakePrograms programs;
    programs.files = {"C:\\Tools\\a.exe",
                      "C:\\Windows\\System32\\a.exe",
                      "C:\\Windows\\System32\\b.exe",
                      "C:\\Program Files\\App\\c.exe",
                      "C:\\Short.exe",
                      "D:\\x.com"};
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
        EXPECT_EQ(engine::FindProgram(c.command, programs).value_or(""), c.program) << c.command;
    }
    // The programs whose effect a plan cannot know, by name, not by a name that holds theirs.
    std::string unknowable;
    for (const char* command : {"cmd /c PowerCfg -h off", "C:\\W\\bcdedit.exe /set x",
                                "powershell Get-AppxPackage x | Remove-AppxPackage",
                                "C:\\Tools\\powercfgreport.exe", "mybcdedit"}) {
        unknowable += engine::UnknowableEffect(command).empty() ? "-" : "+";
    }
    EXPECT_EQ(unknowable, "+++--");
}

TEST(ConsoleCommands, CatalogueProtectionAndSearchedPrograms) {
    Machine m;
    m.programs.files = {"C:\\Tools\\tool.exe", "C:\\Windows\\System32\\sys.exe"};
    m.Write(Item("1", Commands({"tool.exe /x", "sys.exe", "C:\\Tools\\tool.exe"})));
    const std::string path = testsupport::Utf8(m.catalogue);
    m.security.Set(path, "O:BAD:(A;;FA;;;BA)(A;;FW;;;BU)");
    m.security.Set(trust::ParentFolder(path), "O:BAD:(A;;FA;;;BA)");
    const std::string searched = "program-not-full-path program-not-full-path ";
    m.security.elevated = true;
    EXPECT_EQ(Codes(m.Json({"validate"}, 2)), searched + "catalogue-not-protected! ");
    json::Value applied = m.Json({"apply"}, 2);
    EXPECT_EQ(Codes(applied), "catalogue-not-protected! ");
    EXPECT_TRUE(applied["summary"]["refused"].boolean);
    EXPECT_FALSE(applied["trustCatalogue"].boolean);
    EXPECT_EQ(Outcomes(applied), "");

    applied = m.Json({"apply", "--trust-catalogue"}, 0);
    EXPECT_EQ(Codes(applied), searched + "catalogue-not-protected ");
    EXPECT_TRUE(applied["trustCatalogue"].boolean);
    EXPECT_EQ(Outcomes(applied), "1: ran ran ran");
    EXPECT_EQ(m.Run({"plan", "--trust-catalogue"}), 64);

    m.security.elevated = false;
    EXPECT_EQ(Codes(m.Json({"validate"}, 0)), searched + "catalogue-not-protected ");
    const json::Value plan = m.Json({"plan"}, 0);
    EXPECT_EQ(Codes(plan), searched + "catalogue-not-protected program-outside-system-folders ");
    EXPECT_TRUE(Holds(plan["problems"][3]["message"].text, "C:\\Tools\\tool.exe"));

    // Elevated, a catalogue that is not there yet is not read: it could come meanwhile.
    m.security.elevated = true;
    std::filesystem::remove(m.catalogue);
    m.security.objects.erase(path);
    EXPECT_EQ(Codes(m.Json({"validate"}, 2)), "unreadable! ");
}

TEST(ConsoleCommands, JournalsAreJudgedAsTheCatalogueIs) {
    Machine m;
    m.Preset("A", reg::kSz, std::string("0\0", 2));
    m.Write(Item("1", Values(Registry(kKey, "A", "STRING", "1"))));
    const std::string kAdministrators = "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
    const std::string catalogue = testsupport::Utf8(m.catalogue);
    for (const std::string& path : {catalogue, trust::ParentFolder(catalogue)}) {
        m.security.Set(path, kAdministrators);
    }
    m.security.Set("C:\\J", "O:BAD:(A;;FA;;;BA)(A;;0x100116;;;BU)");  // users may add files
    m.security.Set("C:\\Open", "O:BAD:(A;OICI;FA;;;WD)");
    m.security.elevated = true;
    EXPECT_EQ(Codes(m.Json({"apply", "--journal", "C:\\Open\\j"}, 2)), "journal-not-protected! ");
    EXPECT_EQ(m.files.files.count("C:\\Open\\j"), 0u);
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("0\0", 2)) << "nothing applied";
    EXPECT_EQ(Codes(m.Json({"apply", "--journal", "C:\\Open\\j", "--trust-journal"}, 0)),
              "journal-not-protected ");
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("1\0", 2));
    // Made where users may only add files: its own list lets only administrators in.
    ASSERT_EQ(Codes(m.Json({"apply", "--journal", "C:\\J\\j"}, 0)), "");
    EXPECT_EQ(m.security.objects["C:\\J\\j"].entries.size(), 2u);
    EXPECT_EQ(m.security.objects["C:\\J\\j"].entries[1].sid, "S-1-5-32-544");
    m.security.protectFailure = 1;
    EXPECT_EQ(Codes(m.Json({"apply", "--journal", "C:\\J\\k"}, 2)), "journal-not-protected! ");
    EXPECT_EQ(m.files.files.count("C:\\J\\k"), 0u) << "an unprotected journal goes again";

    // A journal that Everyone may write, as the planted one: refused, left unread, unless trusted.
    m.files.files["C:\\J\\planted"] = m.files.files["C:\\Open\\j"];
    m.security.Set("C:\\J\\planted", "O:BAD:(A;;FA;;;BA)(A;;FW;;;WD)");
    EXPECT_EQ(Codes(m.Undo("C:\\J\\planted", 2)), "journal-not-protected! ");
    // One that is not there when judged is not read, whatever comes meanwhile.
    m.files.files["C:\\J\\late"] = m.files.files["C:\\Open\\j"];
    EXPECT_EQ(Codes(m.Undo("C:\\J\\late", 2)), "unreadable! ");
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("1\0", 2));
    EXPECT_EQ(m.Run({"undo", "C:\\J\\planted", "--trust-journal"}), 0) << m.console.out;
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("0\0", 2));
    m.security.elevated = false;  // not elevated: only a warning
    m.Preset("A", reg::kSz, std::string("1\0", 2));
    EXPECT_EQ(Codes(m.Undo("C:\\J\\planted", 0)), "journal-not-protected ");
    EXPECT_EQ(m.Stored(kKey, "A"), std::string("0\0", 2));
}

// The 32-bit build on 64-bit Windows deletes in the 64-bit view it writes, and undoes a journal
// of the 64-bit build from before it named its view (0, or no view at all) in that view too.
TEST(ConsoleCommands, JournalsAreUndoneInTheViewTheRunWrote) {
    Machine m;
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\OrvikCli";
    const std::string node = "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\OrvikCli";
    m.Preset("S", reg::kSz, std::string("s\0", 2), key);
    m.Preset("S", reg::kSz, std::string("n\0", 2), node);  // the 32-bit view's own
    m.Write(
        Item("1", Values(Registry(key, "D", "STRING", "d") + Registry(key, "S", "STRING", ""))));
    m.env.system.wow64 = m.registry.wow64Process = true;
    for (const std::string& old : {std::string("\"view\":0,"), std::string()}) {
        const std::string journal = "j" + std::to_string(old.size());
        ASSERT_EQ(m.Text({"apply", "--journal", journal}), 0);
        EXPECT_EQ(m.Stored(key, "S"), "-");
        std::string& written = m.files.files[journal];
        ASSERT_NE(written.find("\"view\":256,"), std::string::npos) << written;
        for (size_t at = written.find("\"view\":256,"); at != std::string::npos;
             at = written.find("\"view\":256,")) {
            written.replace(at, 11, old);
        }
        EXPECT_EQ(m.Undo(journal, 0)["summary"]["outcomes"]["restored"].Int(), 2) << old;
        EXPECT_EQ(m.Stored(key, "D"), "-");
        EXPECT_EQ(m.Stored(key, "S"), std::string("s\0", 2));
        EXPECT_EQ(m.Stored(node, "S"), std::string("n\0", 2));
    }
}

TEST(ConsoleCommands, AccountChecksAndTheSystemsCodeOfARegistryFailure) {
    Machine m;
    m.Write(Item("1", Values(Registry(kKey, "user", "DWORD", "1"))) +
            Item("2", Values(Registry("HKEY_LOCAL_MACHINE\\Software\\OrvikCli", "machine", "DWORD",
                                      "2"))) +
            Item("3", Values(Registry(kKey, "third", "DWORD", "3"))));
    m.env.system.elevated = false;
    for (const char* force : {"--strict", "--force"}) {
        const json::Value refused = m.Json({"apply", force}, 2);
        EXPECT_EQ(Codes(refused), "not-elevated! ");
        EXPECT_EQ(Outcomes(refused), "") << force;
    }
    EXPECT_EQ(m.Stored(kKey, "user"), "-");
    EXPECT_EQ(Codes(m.Json({"plan"}, 0)), "not-elevated ");
    EXPECT_EQ(Codes(m.Json({"validate"}, 0)), "not-elevated ");
    const json::Value mine = m.Json({"apply", "--items", "1"}, 0);
    EXPECT_EQ(Codes(mine), "");
    EXPECT_EQ(m.Stored(kKey, "user"), std::string("\x01\0\0\0", 4));

    m.env.system.elevated = true;
    m.env.system.system = true;
    const json::Value applied = m.Json({"apply"}, 0);
    EXPECT_EQ(Codes(applied), "system-current-user ");
    EXPECT_EQ(Outcomes(applied), "1: applied; 2: applied; 3: applied");
    EXPECT_EQ(Codes(m.Json({"plan", "--items", "2"}, 0)), "");

    // A key that an access list keeps even from administrators: the registry's own code.
    m.env.system.system = false;
    m.registry.deniedKeys["HKEY_LOCAL_MACHINE\\SOFTWARE\\ORVIKCLI"] = 5;
    const json::Value denied = m.Json({"apply"}, 1);
    EXPECT_EQ(Outcomes(denied), "1: applied; 2: failed; 3: applied");
    const json::Value& error = denied["entries"][1]["actions"][0]["error"];
    EXPECT_EQ(error["number"].Int(), 26001);
    EXPECT_EQ(error["systemCode"].Int(), 5);
    EXPECT_EQ(error["systemText"].text, "system error 5");
    EXPECT_EQ(m.Text({"apply", "--items", "2"}), 1);
    EXPECT_TRUE(Holds(m.console.out, "Windows error 5: system error 5"));
    // Undo, too, says the system's words with its code.
    m.registry.deniedKeys.clear();
    m.Json({"apply", "--items", "1", "--journal", "j"}, 0);
    m.Preset("user", reg::kDword, kDword);
    m.registry.deniedKeys["HKEY_CURRENT_USER\\SOFTWARE\\ORVIKCLI"] = 5;
    const json::Value undone = m.Undo("j", 1);
    EXPECT_EQ(undone["entries"][0]["actions"][0]["errorText"].text, "system error 5");
}

// Counts the reads of the catalogue: one a command, so that its hash is of the bytes parsed.
class CountedReads final : public XmlDocumentFactory {
public:
    explicit CountedReads(std::unique_ptr<XmlDocumentFactory> real) : real_(std::move(real)) {}
    std::unique_ptr<XmlDocument> NewDocument() override { return real_->NewDocument(); }
    using XmlDocumentFactory::ReadFileBytes;
    std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) override {
        ++reads;
        return real_->ReadFileBytes(path, why);
    }
    bool ReadEvents(const std::string& bytes, XmlEvents& events) override {
        return real_->ReadEvents(bytes, events);
    }
    int reads = 0;

private:
    std::unique_ptr<XmlDocumentFactory> real_;
};

TEST(ConsoleCommands, TheCatalogueIsReadOnceAndHashedAsParsed) {
    Machine m;
    m.Write(Item("1", Registry("HKEY_CURRENT_USER\\Software\\OrvikCli", "A", "DWORD", "1")));
    auto counted = std::make_unique<CountedReads>(std::move(m.xml));
    CountedReads& reads = *counted;
    m.xml = std::move(counted);
    const std::string bytes = *reads.ReadFileBytes(testsupport::Utf8(m.catalogue));
    for (const char* command : {"validate", "plan", "apply"}) {
        reads.reads = 0;
        const json::Value report = m.Json({command}, 0);
        EXPECT_EQ(reads.reads, 1) << command;
        EXPECT_EQ(report["catalogue"]["sha256"].text, engine::Sha256Hex(bytes).value()) << command;
    }
    // The digest itself, on published vectors.
    EXPECT_EQ(engine::Sha256Hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(engine::Sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(engine::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(engine::Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace

TEST(ConsoleCommands, ValidateFindsEachProblemWhereItStands) {
    std::string accents;  // 256 characters: as long as a service name may be
    for (int i = 0; i < 256; ++i) accents += "\xC3\xA9";
    const auto StartValue = [](const std::string& service, const std::string& name) {
        return "<RegistryEntry><Key>HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" +
               service + "</Key><ValueName>" + name +
               "</ValueName><Value>4</Value></RegistryEntry>";
    };
    const std::vector<std::string> lines = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<Optimizations>",
        "  <Item><Number>1</Number><OSVersion>Windows 7</OSVersion><Mode>Fast</Mode>"
        "<Enabled>yes</Enabled>",
        "    <Colour>red</Colour>",
        "    <RegistryEntries><RegistryEntry><Key>HKCU\\Software\\X</Key><ValueName/>"
        "<KeyType>WORD</KeyType><Value>abc</Value></RegistryEntry>",
        "      <RegistryEntry><Key></Key><ValueName/><KeyType>BINARY</KeyType><Value>0A0</Value>"
        "</RegistryEntry></RegistryEntries>",
        "    <CommandLines><CommandLine><Command></Command></CommandLine><CommandLine><Command>"
        "C:\\Program Files\\x\\y.exe /s</Command></CommandLine><CommandLine><Command>"
        "C:\\Windows\\System32\\schtasks /tn \"a b.cmd\"</Command></CommandLine><CommandLine>"
        "<Command>C:\\Tools\\a.exe C:\\Program Files\\b.exe</Command></CommandLine>"
        "</CommandLines>",
        "    <WMIQueries><WMIQuery><Command>ASSOCIATORS OF {x}</Command><WarningLevel>0"
        "</WarningLevel></WMIQuery><WMIQuery><Command>select * from y</Command><WarningLevel>"
        "many</WarningLevel></WMIQuery></WMIQueries></Item>",
        "  <Item><Number>1</Number></Item>",
        "  <Item><Number>07</Number><RegistryEntries><RegistryEntry><Key>HKEY_USERS\\x</Key>"
        "<ValueName/><KeyType>BINARY</KeyType><Value>,</Value></RegistryEntry></RegistryEntries>"
        "</Item>",
        "  <Itme><Number>11</Number><Enabled>True</Enabled><OSVersion>Windows 7</OSVersion>"
        "<RegistryEntries><RegistryEntri><Key>HKEY_USERS\\x</Key><ValueName>v</ValueName>"
        "<Value>2.5</Value></RegistryEntri>",
        "    <RegistryEntry><ValueNmae>v</ValueNmae><Vaule>1</Vaule></RegistryEntry><RegistryEntry>"
        "<Key>HKEY_USERS\\x</Key><ValueName></ValueName><KeyType>STRING</KeyType><Value></Value>"
        "</RegistryEntry></RegistryEntries></Itme>",
        // A Start value a Service action would set; not so a protected service's, nor a per-user
        // service template's (its UserServiceFlags set too).
        "  <Item><Number>12</Number><RegistryEntries><RegistryEntry><Key>HKEY_LOCAL_MACHINE\\SYSTEM"
        "\\CurrentControlSet\\Services\\SysMain</Key><ValueName>START</ValueName><Value>4</Value>"
        "</RegistryEntry>" +
            StartValue("WSCSVC", "Start") + StartValue("CDPUserSvc", "Start") +
            StartValue("cdpusersvc", "UserServiceFlags") + "</RegistryEntries>",
        "    <Services><Service><Name>a/b</Name><StartType>automatic</StartType><Stop>1</Stop>"
        "</Service><Service>"
        "<StartType>Delayed</StartType></Service></Services><ScheduledTasks><ScheduledTask><Path>"
        "Microsoft\\X</Path><State>Off</State></ScheduledTask><ScheduledTask><Path>\\X</Path>"
        "<State>disabled</State></ScheduledTask><ScheduledTsk/></ScheduledTasks><Services>"
        "<Service><Name>" +
            std::string(257, 'x') +
            "</Name><StartType>Manual</StartType></Service><Service><Name>" + accents +
            "</Name><StartType>Manual</StartType></Service></Services></Item>",
        "</Optimizations>",
    };
    // code, line, and the text the element at fault starts with on that line (the n-th time it
    // stands there).
    const struct {
        const char* code;
        size_t line;
        const char* element;
        int nth = 1;
    } expected[] = {
        {"unknown-version", 3, "<OSVersion>"},
        {"unknown-version", 3, "<OSVersion>"},
        {"unknown-mode", 3, "<Mode>"},
        {"unclear-enabled", 3, "<Enabled>"},
        {"unknown-element", 4, "<Colour>"},
        {"unknown-root", 5, "<Key>"},
        {"unknown-key-type", 5, "<KeyType>"},
        {"invalid-dword", 5, "<Value>"},
        {"empty-key", 6, "<Key>"},
        {"invalid-binary", 6, "<Value>"},
        {"empty-command", 7, "<Command>"},
        {"program-path-unquoted", 7, "<Command>", 2},
        {"query-not-select", 8, "<Command>"},
        {"warning-level-always", 8, "<WarningLevel>"},
        {"invalid-warning-level", 8, "<WarningLevel>", 2},
        {"no-action", 9, "<Item>"},
        {"duplicate-number", 9, "<Number>"},
        {"number-not-plain", 10, "<Number>"},
        {"empty-binary", 10, "<Value>"},
        {"unusual-name", 11, "<Itme>"},
        {"unknown-version", 11, "<OSVersion>"},
        {"unknown-version", 11, "<OSVersion>"},
        {"unusual-name", 11, "<RegistryEntri>"},
        {"dword-rounded", 11, "<Value>"},
        {"missing-key", 12, "<RegistryEntry>"},
        {"missing-value-name", 12, "<RegistryEntry>"},
        {"missing-value", 12, "<RegistryEntry>"},
        {"invalid-dword", 12, "<RegistryEntry>"},
        {"unknown-element", 12, "<ValueNmae>"},
        {"unknown-element", 12, "<Vaule>"},
        {"service-start-as-value", 13, "<Key>"},
        {"invalid-service-name", 14, "<Name>"},
        {"unclear-stop", 14, "<Stop>"},
        {"empty-service-name", 14, "<Service>", 2},
        {"unknown-start-type", 14, "<StartType>", 2},
        {"invalid-task-path", 14, "<Path>"},
        {"unknown-task-state", 14, "<State>"},
        {"unusual-name", 14, "<ScheduledTsk/>"},
        {"empty-task-path", 14, "<ScheduledTsk/>"},
        {"unknown-task-state", 14, "<ScheduledTsk/>"},
        {"invalid-service-name", 14, "<Name>", 2},
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
    EXPECT_EQ(report["summary"]["errors"].Int(), 27);
    EXPECT_EQ(report["problems"][23]["message"].text,
              "DWORD value \"2.5\" is no plain whole number: a run writes 2");
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

// Services and tasks in the console's words: their kind and states in JSON, undo's text. What
// they plan, apply and undo to, and the account check: SessionTest, RunnersTest, StartUpTest.
TEST(ConsoleCommands, ServicesAndTasksInJsonAndText) {
    Machine m;
    m.services.services["SysMain"] = {{{services::kManual}, false, true}};
    m.tasks.tasks["\\Defrag"] = {true};
    m.Write(Item("1",
                 "<Services><Service><Name>SysMain</Name><StartType>Disabled</StartType><Stop>True"
                 "</Stop></Service><Service><Name>Gone</Name><StartType>Manual</StartType></"
                 "Service></Services>"
                 "<ScheduledTasks><ScheduledTask><Path>\\Defrag</Path><State>Disabled</State>"
                 "</ScheduledTask></ScheduledTasks>"));
    const json::Value plan = m.Json({"plan"}, 0);
    std::string states;
    for (const json::Value& action : plan["entries"][0]["actions"].items) {
        states += action["kind"].text + " " + action["before"].text + ">" + action["after"].text +
                  (action["stopped"].boolean ? " stopped" : "") + "; ";
    }
    EXPECT_EQ(states, "service Manual>Disabled stopped; service >; task Enabled>Disabled; ");
    m.Json({"apply", "--journal", "j"}, 0);
    EXPECT_EQ(m.Run({"undo", "j", "--dry-run"}), 0);
    EXPECT_TRUE(Holds(m.console.out,
                      "  task      restored      \\Defrag: Disabled -> Enabled\n"
                      "  service   restored      SysMain: Disabled -> Manual, started again\n"
                      "  service   unchanged     SysMain: Manual\n"));
    const json::Value undone = m.Undo("j", 0);
    EXPECT_EQ(undone["entries"][0]["actions"][1]["kind"].text + " " +
                  undone["entries"][0]["actions"][1]["found"].text,
              "service Disabled");
}
