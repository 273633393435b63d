// The real OrvikCli.exe beside a copy of Orvik.exe in a scratch folder: its exit codes, its JSON
// read as a script reads it, a plan that leaves the registry and the folder as they were, and an
// apply that leaves them as Orvik.exe -RUN does.

#include <gtest/gtest.h>

#include <thread>

#include "Harness.h"
#include "JsonReader.h"
#include "OrvikVersion.h"

namespace {

using namespace harness;

std::string Command(const std::string& line) { return Tag("CommandLine", Tag("Command", line)); }

std::string Query(const std::string& query, int level) {
    return Tag("WMIQuery", Tag("Command", query) + Tag("WarningLevel", std::to_string(level)));
}

std::string Item(const std::string& number, const std::string& body, bool enabled = true) {
    return Tag("Item", Tag("Number", number) + Tag("Name", "Entry " + number) +
                           Tag("Enabled", enabled ? "True" : "False") + body);
}

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

class Console : public ::testing::Test {
protected:
    struct Result {
        int64_t code = -1;  // -1: it had to be ended
        std::string out, err;
    };

    Result Run(const fs::path& program, const std::string& arguments) {
        Process started(program, arguments);
        const auto code = started.Wait();
        return {code ? static_cast<int64_t>(*code) : -1, started.Out(), started.Err()};
    }
    json::Value Json(const std::string& arguments, int64_t exitCode) {
        const Result result = Run(cli, arguments + " --json");
        EXPECT_EQ(result.code, exitCode) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        const json::Value report = json::Parse(result.out);
        EXPECT_EQ(report["summary"]["exitCode"].Int(), exitCode);
        return report;
    }
    // Every value below the scratch key, as text to compare.
    std::string Registry() const {
        std::string all;
        for (const char* below : {"", "New"}) {
            all += std::string("[") + below + (key.Exists(below) ? "]" : " absent]");
            for (const StoredValue& value : key.Values(below)) {
                all += " " + value.name + "=" + std::to_string(value.type) + ":" +
                       std::string(value.data.begin(), value.data.end());
            }
        }
        return all;
    }

    Scratch folder{"cli"};
    ScratchKey key{"cli"};
    const fs::path cli = folder.CopyOrvikCli();
};

TEST_F(Console, PlanChangesNothingAndApplyDoesWhatTheSilentRunDoes) {
    const std::string k = key.Name();
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("1", Tag("RegistryEntries",
                                RegistryEntry(k + "\\New", "A", "DWORD", "1") +
                                    RegistryEntry(k, "B", "STRING", "x") +
                                    RegistryEntry(k, "C", "STRING", "same") +
                                    RegistryEntry(k, "D", "STRING", "") +
                                    RegistryEntry(k, "E", "BINARY", "01,02,ff"))) +
                  Item("2", Tag("RegistryEntries",
                                RegistryEntry("HKCU\\Software\\Orvik", "X", "DWORD", "1") +
                                    RegistryEntry(k, "F", "DWORD", "1")) +
                                Tag("CommandLines",
                                    Command("C:\\orvik-nowhere\\missing.exe /quiet") +
                                        Command(ProbeCommand(folder / "skipped"))) +
                                Tag("WMIQueries", Query("SELEC broken", 1))) +
                  Item("3", Tag("CommandLines", Command(ProbeCommand(folder / "started"))) +
                                Tag("WMIQueries",
                                    Query("SELECT * FROM Win32_OperatingSystem", 9999))) +
                  Item("4", Tag("RegistryEntries", RegistryEntry(k, "Off", "DWORD", "1")),
                       false)));
    const auto preset = [&] {
        key.Clear();
        key.Write("B", "y", KEY_WOW64_64KEY);
        key.Write("C", "same", KEY_WOW64_64KEY);
        key.Write("D", "gone", KEY_WOW64_64KEY);
    };
    preset();
    const std::string before = Registry();

    // The unknown root is an error of the catalogue: plan still shows everything, and exits 2.
    const json::Value plan = Json("plan", 2);
    EXPECT_EQ(Outcomes(plan),
              "1: set change unchanged change set; 2: fail skip fail skip fail; 3: start found");
    EXPECT_EQ(Registry(), before);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(folder.Exists("started"));
    EXPECT_FALSE(folder.Exists("SarnetLog.txt"));
    const json::Value& first = plan["entries"][0]["actions"];
    EXPECT_EQ(first[0]["createdKeys"][0].text, k + "\\New");
    EXPECT_EQ(first[1]["before"]["data"].text, "y");
    EXPECT_EQ(first[4]["after"]["data"].text, "01,02,FF");
    EXPECT_EQ(plan["entries"][2]["actions"][0]["program"].text, Utf8(ShowStateProbe()));
    EXPECT_TRUE(plan["entries"][2]["actions"][1]["count"].IsNull());

    EXPECT_TRUE(Json("apply", 2)["summary"]["refused"].boolean);
    EXPECT_EQ(Registry(), before);

    SYSTEMTIME from = LocalNow();
    const json::Value apply = Json("apply --force", 1);
    EXPECT_EQ(Outcomes(apply), "1: applied applied applied applied applied; 2: failed skip "
                               "failed skip failed; 3: started found");
    ASSERT_TRUE(WaitForProbe(folder / "started"));
    const std::string applied = Registry();
    std::vector<std::string> logged;
    for (const std::string& line : LogLines(folder.Folder())) {
        // The Source names the program that ran.
        std::string same = WithoutStamp(line, from, LocalNow()).value_or(line);
        const size_t source = same.find("Source = OrvikCli.");
        if (source != std::string::npos) same.replace(source, 18, "Source = Orvik.");
        logged.push_back(same);
    }
    EXPECT_EQ(logged.size(), 2u);

    preset();
    fs::remove(folder / "SarnetLog.txt");
    fs::remove(folder / "started");
    from = LocalNow();
    EXPECT_EQ(Run(folder.CopyOrvik(), "-RUN").code, 0);
    ASSERT_TRUE(WaitForProbe(folder / "started"));
    EXPECT_EQ(Registry(), applied);
    std::vector<std::string> silent;
    for (const std::string& line : LogLines(folder.Folder())) {
        silent.push_back(WithoutStamp(line, from, LocalNow()).value_or(line));
    }
    EXPECT_EQ(logged, silent);
    EXPECT_FALSE(folder.Exists("skipped"));
}

TEST_F(Console, ExitCodesWarningsWithoutABoxAndText) {
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Item("9", Tag("Name", "Größe ändern") +
                                         Tag("WMIQueries",
                                             Query("SELECT * FROM Win32_OperatingSystem", 1)))));
    // The warning is reported, and the program ends by itself: no box waits for anyone.
    const json::Value warned = Json("apply", 3);
    EXPECT_EQ(warned["entries"][0]["actions"][0]["count"].Int(), 1);
    EXPECT_TRUE(warned["entries"][0]["actions"][0]["warn"].boolean);
    EXPECT_EQ(warned["entries"][0]["name"].text, "Größe ändern");
    EXPECT_EQ(warned["catalogue"]["path"].text, Utf8(folder / "OrvikOptimizations.xml"));
    EXPECT_EQ(warned["version"].text, ORVIK_VERSION);
    EXPECT_EQ(warned["windows"]["wow64"].boolean, kWow64);

    // Into a file, text is UTF-8 with CR LF line ends; progress goes to standard error.
    const Result text = Run(cli, "plan");
    EXPECT_EQ(text.code, 3);
    EXPECT_NE(text.out.find("9  Größe ändern  (line"), std::string::npos) << text.out;
    EXPECT_EQ(text.err, "1 of 1: 9 Größe ändern\r\n");

    // Places as MSXML's reader gives them: columns count characters, not bytes.
    folder.Write("problems.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations>\n"
                                 "  <Item><Name>Größe</Name><Colour/><OSVersion>Windows 7"
                                 "</OSVersion></Item>\n</Optimizations>\n");
    std::string places;
    const json::Value checked =
        Json("validate --catalogue \"" + Utf8(folder / "problems.xml") + "\"", 2);
    for (const json::Value& problem : checked["problems"].items) {
        places += problem["code"].text + " " + std::to_string(problem["line"].Int()) + ":" +
                  std::to_string(problem["column"].Int()) + "; ";
    }
    EXPECT_EQ(places, "number-not-plain 3:3; no-action 3:3; unknown-element 3:27; "
                      "unknown-version 3:36; unknown-version 3:36; ");
    const json::Value missing =
        Json("validate --catalogue \"" + Utf8(folder / "none.xml") + "\"", 2);
    EXPECT_EQ(missing["problems"][0]["code"].text, "unreadable");
    EXPECT_TRUE(missing["catalogue"]["sha256"].IsNull());

    EXPECT_EQ(Run(cli, "--version").out, std::string("OrvikCli ") + ORVIK_VERSION + "\r\n");
    for (const char* wrong : {"", "Apply", "plan --force", "apply --items", "apply --items 8"}) {
        const Result usage = Run(cli, wrong);
        EXPECT_EQ(usage.code, 64) << wrong;
        EXPECT_NE(usage.err.find("usage: OrvikCli validate"), std::string::npos) << wrong;
        EXPECT_EQ(usage.out, "") << wrong;
    }
}

}  // namespace
