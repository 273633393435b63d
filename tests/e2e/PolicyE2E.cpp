// The real OrvikCli.exe checking a catalogue's values under policy keys against a folder of
// policy definitions in the Wine prefix (small ADMX and ADML files written here): the warnings
// with their places, plan's policy beside each value, the folder read or none, and the folder
// below %SystemRoot% taken when none is named.

#include <gtest/gtest.h>

#include <fstream>

#include "Harness.h"
#include "JsonReader.h"

namespace {

using namespace harness;

std::string Admx(const std::string& key) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<policyDefinitions revision=\"1.0\" schemaVersion=\"1.0\" "
           "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">"
           "<policyNamespaces><target prefix=\"fixture\" namespace=\"Orvik.Fixture\"/>"
           "</policyNamespaces><supportedOn><definitions>"
           "<definition name=\"SUPPORTED_Own\" displayName=\"$(string.SUPPORTED_Own)\"/>"
           "</definitions></supportedOn><policies>"
           "<policy name=\"NoAutoRun\" class=\"Machine\" displayName=\"$(string.NoAutoRun)\" "
           "key=\"" +
           key +
           "\" valueName=\"NoAutoRun\">"
           "<supportedOn ref=\"fixture:SUPPORTED_Own\"/></policy>"
           "<policy name=\"Cache\" class=\"Both\" displayName=\"$(string.Cache)\" key=\"" +
           key +
           "\"><elements><decimal id=\"Size\" valueName=\"CacheSize\" minValue=\"1\" "
           "maxValue=\"50\"/></elements></policy>"
           "</policies></policyDefinitions>";
}

const std::string kAdml =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><policyDefinitionResources revision=\"1.0\" "
    "schemaVersion=\"1.0\" "
    "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\"><resources>"
    "<stringTable><string id=\"NoAutoRun\">Turn off AutoRun</string>"
    "<string id=\"Cache\">Cache size</string><string id=\"SUPPORTED_Own\">Orvik only</string>"
    "</stringTable></resources></policyDefinitionResources>";

class Policies : public ::testing::Test {
protected:
    Ran Run(const std::string& arguments) { return RunToEnd(cli, arguments); }
    // A definitions folder, holding a file that cannot be read.
    static void Definitions(const fs::path& at, const std::string& policyKey) {
        fs::create_directories(at / "en-US");
        std::ofstream(at / "fixture.admx", std::ios::binary) << Admx(policyKey);
        std::ofstream(at / "en-US" / "fixture.adml", std::ios::binary) << kAdml;
        std::ofstream(at / "half.admx", std::ios::binary) << "<policyDefinitions><policies>";
    }
    std::string Definitions(const std::string& name) {
        Definitions(folder / name, policyKey);
        return Utf8(folder / name);
    }

    Scratch folder{"policy"};
    ScratchKey key{"policy", HKEY_LOCAL_MACHINE};
    const fs::path cli = folder.CopyOrvikCli();
    const std::string below = key.Name().substr(key.Name().find('\\') + 1);
    const std::string policyKey = below + "\\Policies\\Fixture";
    const std::string machine = "HKEY_LOCAL_MACHINE\\" + policyKey;
    const std::string user = "HKEY_CURRENT_USER\\" + policyKey;
};

TEST_F(Policies, ValuesAreCheckedAgainstTheDefinitionsOfTheFolder) {
    const std::string entries = RegistryEntry(machine, "NoAutoRun", "DWORD", "1") + "\n" +
                                RegistryEntry(machine, "NoAutoRn", "DWORD", "1") + "\n" +
                                RegistryEntry(machine, "CacheSize", "DWORD", "51") + "\n" +
                                RegistryEntry(user, "NoAutoRun", "DWORD", "1") + "\n" +
                                RegistryEntry(machine, "EnableLUA", "DWORD", "0");
    folder.Write("OrvikOptimizations.xml", Catalogue(EnabledItem(entries, Tag("Number", "1"))));
    const std::string definitions = Definitions("defs");

    Ran validate = Run("validate --json --policy-definitions \"" + definitions + "\"");
    EXPECT_EQ(validate.code, 0) << validate.out << validate.err;
    json::Value report = json::Parse(validate.out);
    EXPECT_EQ(report["policyDefinitions"]["folder"].text, definitions);
    EXPECT_TRUE(report["policyDefinitions"]["found"].boolean);
    EXPECT_EQ(report["policyDefinitions"]["definitions"].Int(), 2);
    std::vector<std::string> found;
    for (const json::Value& problem : report["problems"].items) {
        found.push_back(problem["code"].text + " " +
                        (problem["line"].IsNull() ? "-" : std::to_string(problem["line"].Int())));
    }
    // The registry entries stand one a line, from line 2 on.
    EXPECT_EQ(found,
              (std::vector<std::string>{"policy-unknown-value 3", "policy-value-not-allowed 4",
                                        "policy-wrong-hive 5", "policy-file-unreadable -"}))
        << validate.out;
    EXPECT_NE(validate.out.find("half.admx"), std::string::npos);
    EXPECT_NE(validate.out.find("NoAutoRun (\\\"Turn off AutoRun\\\")"), std::string::npos);
    EXPECT_EQ(report["summary"]["warnings"].Int(), 4);

    const Ran plan = Run("plan --policy-definitions \"" + definitions + "\"");
    EXPECT_EQ(plan.code, 0) << plan.out << plan.err;
    EXPECT_NE(plan.out.find("Policies   " + definitions + ", 2 definitions"), std::string::npos)
        << plan.out;
    EXPECT_NE(plan.out.find("NoAutoRun\r\n                    policy NoAutoRun (\"Turn off "
                            "AutoRun\")"),
              std::string::npos)
        << plan.out;
    EXPECT_NE(plan.out.find("CacheSize\r\n                    policy Cache (\"Cache size\")"),
              std::string::npos);
    EXPECT_NE(plan.out.find("EnableLUA\r\n                    not a defined policy"),
              std::string::npos);

    report = json::Parse(Run("plan --json --policy-definitions \"" + definitions + "\"").out);
    const auto& actions = report["entries"][0]["actions"];
    EXPECT_EQ(actions[0]["policy"]["name"].text, "NoAutoRun");
    EXPECT_EQ(actions[0]["policy"]["displayName"].text, "Turn off AutoRun");
    EXPECT_EQ(actions[1].members.count("policy"), 1u);
    EXPECT_TRUE(actions[1]["policy"].IsNull());
    EXPECT_TRUE(actions[4]["policy"].IsNull());

    report = json::Parse(Run("validate --json --no-policy-definitions").out);
    EXPECT_TRUE(report["policyDefinitions"].IsNull());
    EXPECT_EQ(report["problems"].items.size(), 0u);
}

// The folder below the Windows folder unless one is named (Wine sets %SystemRoot% for every
// process it starts, so the test puts one there for its duration); none there is said so, and
// is no fault.
TEST_F(Policies, DefaultFolderIsBelowTheWindowsFolder) {
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(EnabledItem(RegistryEntry(machine, "CacheSize", "DWORD", "0"),
                                       Tag("Number", "1"))));
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const fs::path definitions = fs::path(windows) / "PolicyDefinitions";
    if (fs::exists(definitions)) GTEST_SKIP() << "this Windows has policy definitions of its own";

    Ran result = Run("validate");
    EXPECT_EQ(result.code, 0);
    EXPECT_NE(result.out.find("Policies   " + Utf8(definitions) + ": no policy definitions found"),
              std::string::npos)
        << result.out;

    Definitions(definitions, policyKey);
    result = Run("validate --json");
    fs::remove_all(definitions);
    EXPECT_EQ(result.code, 0) << result.out << result.err;
    const json::Value report = json::Parse(result.out);
    EXPECT_EQ(report["policyDefinitions"]["folder"].text, Utf8(definitions));
    EXPECT_EQ(report["policyDefinitions"]["definitions"].Int(), 2);
    EXPECT_EQ(report["problems"][0]["code"].text, "policy-value-not-allowed");
}

}  // namespace
