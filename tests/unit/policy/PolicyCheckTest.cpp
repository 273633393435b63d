// Policy definitions from small ADMX and ADML files, on this build's XML events (expat here,
// MSXML 6 under Wine), and the catalogue's registry values checked against them.

#include <gtest/gtest.h>

#include "FakePolicyFolders.h"
#include "TestSupport.h"
#include "XmlServices.h"
#include "platform/XmlDocument.h"
#include "policy/PolicyCheck.h"

namespace {

using policy::PolicyLibrary;

const std::string kFolder = "C:\\Defs";
const std::string kHead =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<policyDefinitions xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" revision=\"1.0\" "
    "schemaVersion=\"1.0\" "
    "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">\r\n";

// One of each kind of value a definition can state.
const std::string kFixture = kHead + R"admx(
  <policyNamespaces><target prefix="fixture" namespace="Orvik.Policies.Fixture" />
    <using prefix="windows" namespace="Microsoft.Policies.Windows" /></policyNamespaces>
  <resources minRequiredRevision="1.0" />
  <policies>
    <policy name="NoAutoRun" class="Machine" displayName="$(string.NoAutoRun)"
            explainText="$(string.NoAutoRun_Help)" key="Software\Policies\Orvik\Fixture"
            valueName="NoAutoRun">
      <parentCategory ref="windows:System" /><supportedOn ref="windows:SUPPORTED_Win7" />
    </policy>
    <policy name="Mode" class="User" displayName="$(string.Mode)"
            key="Software\Policies\Orvik\Fixture" valueName="Mode">
      <supportedOn ref="fixture:SUPPORTED_Own" />
      <enabledValue><decimal value="2" /></enabledValue>
      <disabledValue><string>off &amp; out</string></disabledValue>
    </policy>
    <policy name="Tuning" class="Both" displayName="Tuning &lt;raw&gt;"
            key="Software\Policies\Orvik\Fixture" presentation="$(presentation.Tuning)">
      <elements>
        <decimal id="Cache" valueName="CacheSize" minValue="10" maxValue="500" />
        <longDecimal id="Big" valueName="Big" />
        <decimal id="Delay" valueName="Delay" storeAsText="true" maxValue="60" />
        <boolean id="Fast" valueName="Fast"><trueValue><decimal value="7" /></trueValue>
          <falseValue><delete /></falseValue></boolean>
        <boolean id="Plain" key="Software\Policies\Orvik\Other" valueName="Plain" />
        <enum id="Color" valueName="Color">
          <item displayName="$(string.Red)"><value><string>red</string></value></item>
          <item displayName="$(string.Three)"><value><decimal value="3" /></value>
            <valueList><item key="Software\Policies\Orvik\Side" valueName="SideEffect">
              <value><decimal value="9" /></value></item></valueList></item>
        </enum>
        <text id="Server" valueName="Server" />
        <list id="Allowed" key="Software\Policies\Orvik\Fixture\Allowed" />
      </elements>
    </policy>
    <policy name="Listed" class="Machine" displayName="$(string.Listed)"
            key="Software\Policies\Orvik\Listed">
      <enabledList defaultKey="Software\Policies\Orvik\Listed">
        <item valueName="A"><value><decimal value="1" /></value></item>
        <item key="Software\Policies\Orvik\Elsewhere" valueName="B">
          <value><string>on</string></value></item>
      </enabledList>
      <disabledList><item valueName="A"><value><decimal value="0" /></value></item></disabledList>
    </policy>
  </policies>
  <supportedOn><definitions>
    <definition name="SUPPORTED_Own" displayName="$(string.SUPPORTED_Own)" />
  </definitions></supportedOn>
</policyDefinitions>
)admx";

// Where Windows.admx keeps the "supported on" texts other files refer to.
const std::string kWindows = kHead + R"admx(
  <supportedOn><definitions>
    <definition name="SUPPORTED_Win7" displayName="$(string.SUPPORTED_Win7)" />
  </definitions></supportedOn>
</policyDefinitions>
)admx";

std::string Adml(const std::string& strings) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<policyDefinitionResources revision=\"1.0\" schemaVersion=\"1.0\" "
           "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">"
           "<displayName>x</displayName><resources><stringTable>" +
           strings +
           "</stringTable><presentationTable><presentation id=\"Tuning\">"
           "<textBox refId=\"Server\"><label>Server</label></textBox></presentation>"
           "</presentationTable></resources></policyDefinitionResources>";
}

std::string String(const std::string& id, const std::string& text) {
    return "<string id=\"" + id + "\">" + text + "</string>";
}

class PolicyCheck : public ::testing::Test {
protected:
    void SetUp() override {
        folders.files[kFolder + "\\fixture.admx"] = kFixture;
        folders.files[kFolder + "\\Windows.admx"] = kWindows;
        folders.files[kFolder + "\\en-US\\fixture.adml"] =
            Adml(String("NoAutoRun", "Turn off AutoRun") + String("Mode", "Mode &amp; more") +
                 String("Listed", "Listed values") + String("SUPPORTED_Own", "Orvik only") +
                 String("NoAutoRun_Help", "Stops AutoRun. On every drive."));
        folders.files[kFolder + "\\en-US\\Windows.adml"] =
            Adml(String("SUPPORTED_Win7", "At least Windows 7"));
        folders.files[kFolder + "\\de-DE\\fixture.adml"] =
            Adml(String("NoAutoRun", "AutoRun ausschalten"));
    }

    PolicyLibrary& Loaded() {
        library.emplace(folders, *xml);
        EXPECT_TRUE(library->Load(kFolder));
        return *library;
    }

    policy::PolicyFinding Find(const std::string& key, const std::string& name,
                               const std::string& type, const std::string& value) {
        if (!library) Loaded();
        return policy::CheckValue(RegistryItem(RegistryItem::SetKeyType(type), key, name, value),
                                  *library);
    }
    std::string Check(const std::string& key, const std::string& name, const std::string& type,
                      const std::string& value) {
        const policy::PolicyFinding found = Find(key, name, type, value);
        std::string codes = !found.policyKey ? "-"
                            : found.policy   ? library->Read().policies[*found.policy].name
                                             : "undefined";
        for (const policy::PolicyWarning& warning : found.warnings) codes += " " + warning.code;
        return codes;
    }

    FakePolicyFolders folders;
    std::unique_ptr<XmlDocumentFactory> xml = testsupport::XmlServices();
    std::optional<PolicyLibrary> library;
};

const std::string kLm = "HKEY_LOCAL_MACHINE\\Software\\Policies\\Orvik\\";
const std::string kCu = "HKEY_CURRENT_USER\\Software\\Policies\\Orvik\\";

TEST_F(PolicyCheck, EachRuleOfTheDefinitions) {
    struct Case {
        std::string key, name, type, value, expected;
    };
    const Case cases[] = {
        // a policy's own value: 1 and 0 unless stated; its class decides the hive
        {kLm + "Fixture", "NoAutoRun", "DWORD", "1", "NoAutoRun"},
        {kLm + "Fixture", "NoAutoRun", "DWORD", "0x0", "NoAutoRun"},
        {kLm + "Fixture", "NoAutoRun", "DWORD", "2", "NoAutoRun policy-value-not-allowed"},
        {kLm + "Fixture", "NoAutoRun", "STRING", "1", "NoAutoRun policy-value-not-allowed"},
        {kLm + "Fixture", "NoAutoRun", "BINARY", "01", "NoAutoRun policy-value-not-allowed"},
        {kCu + "Fixture", "NoAutoRun", "DWORD", "1", "NoAutoRun policy-wrong-hive"},
        {kCu + "Fixture", "NoAutoRun", "DWORD", "5",
         "NoAutoRun policy-value-not-allowed policy-wrong-hive"},
        {"hkey_local_machine\\SOFTWARE\\POLICIES\\orvik\\fixture\\", "noautorun", "DWORD", "1",
         "NoAutoRun"},
        {kCu + "Fixture", "Mode", "DWORD", "2", "Mode"},
        {kCu + "Fixture", "Mode", "STRING", "off & out", "Mode"},
        {kCu + "Fixture", "Mode", "STRING", "2", "Mode policy-value-not-allowed"},
        {kLm + "Fixture", "Mode", "DWORD", "2", "Mode policy-wrong-hive"},
        // elements: a range, a number kept as text, booleans, an enum, a text, a list
        {kLm + "Fixture", "CacheSize", "DWORD", "10", "Tuning"},
        {kCu + "Fixture", "CacheSize", "DWORD", "500", "Tuning"},
        {kLm + "Fixture", "CacheSize", "DWORD", "9", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "CacheSize", "DWORD", "501", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "CacheSize", "STRING", "20", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Big", "DWORD", "9999", "Tuning"},
        {kLm + "Fixture", "Big", "DWORD", "-1", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Delay", "STRING", "60", "Tuning"},
        {kLm + "Fixture", "Delay", "STRING", "61", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Delay", "STRING", "sixty", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Delay", "DWORD", "30", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Fast", "DWORD", "7", "Tuning"},
        {kLm + "Fixture", "Fast", "DWORD", "1", "Tuning policy-value-not-allowed"},
        {kLm + "Other", "Plain", "DWORD", "0", "Tuning"},
        {kLm + "Other", "Plain", "DWORD", "2", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture", "Color", "STRING", "red", "Tuning"},
        {kLm + "Fixture", "Color", "DWORD", "3", "Tuning"},
        {kLm + "Fixture", "Color", "STRING", "3", "Tuning policy-value-not-allowed"},
        {kLm + "Side", "SideEffect", "DWORD", "9", "Tuning"},
        {kLm + "Fixture", "Server", "STRING", "anything", "Tuning"},
        {kLm + "Fixture", "Server", "DWORD", "1", "Tuning policy-value-not-allowed"},
        {kLm + "Fixture\\Allowed", "any name", "STRING", "x", "Tuning"},
        {kLm + "Fixture\\Allowed", "1", "DWORD", "1", "Tuning policy-value-not-allowed"},
        // enabled and disabled lists, an item with a key of its own
        {kLm + "Listed", "A", "DWORD", "1", "Listed"},
        {kLm + "Listed", "A", "DWORD", "0", "Listed"},
        {kLm + "Listed", "A", "DWORD", "2", "Listed policy-value-not-allowed"},
        {kLm + "Elsewhere", "B", "STRING", "on", "Listed"},
        // names no definition has: a typo is a warning, anything else is not
        {kLm + "Fixture", "NoAutoRn", "DWORD", "1", "undefined policy-unknown-value"},
        {kLm + "Fixture", "NoAtuoRun", "DWORD", "1", "undefined policy-unknown-value"},
        {kLm + "Fixture", "noautorunXY", "DWORD", "1", "undefined policy-unknown-value"},
        {kLm + "Fixture", "NoAuto", "DWORD", "1", "undefined"},
        {kLm + "Fixture", "EnableLUA", "DWORD", "1", "undefined"},
        {kLm + "Listed\\Deeper", "A", "DWORD", "1", "undefined"},
        // not under a policy key, or not in the two hives policies live in
        {"HKEY_LOCAL_MACHINE\\Software\\Orvik\\Fixture", "NoAutoRn", "DWORD", "1", "-"},
        {"HKEY_LOCAL_MACHINE\\Software\\Policies", "NoAutoRun", "DWORD", "9", "-"},
        {"HKEY_USERS\\.DEFAULT\\Software\\Policies\\Orvik\\Fixture", "NoAutoRun", "DWORD", "9",
         "-"},
        {"HKEY_CLASSES_ROOT\\Policies\\Orvik\\Fixture", "NoAutoRun", "DWORD", "9", "-"},
        {"", "NoAutoRun", "DWORD", "9", "-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Check(c.key, c.name, c.type, c.value), c.expected)
            << c.key << " " << c.name << " " << c.type << " " << c.value;
    }
    EXPECT_EQ(library->Read().policies.size(), 4u);
    EXPECT_TRUE(library->Problems().empty());
}

TEST_F(PolicyCheck, MessagesNameThePolicyAndWhatItTakes) {
    const auto message = [&](auto... value) {
        const policy::PolicyFinding found = Find(value...);
        return found.warnings.empty() ? std::string() : found.warnings.front().message;
    };
    EXPECT_EQ(message(kLm + "Fixture", "NoAutoRun", "DWORD", "2"),
              "DWORD 2 is not a value that policy NoAutoRun (\"Turn off AutoRun\") defines for "
              "\"NoAutoRun\" (it takes 1 or 0): Windows ignores it");
    EXPECT_EQ(message(kLm + "Fixture", "CacheSize", "STRING", "20"),
              "STRING \"20\" is not a value that policy Tuning (\"Tuning <raw>\") defines for "
              "\"CacheSize\" (it takes a number from 10 to 500): Windows ignores it");
    EXPECT_EQ(message(kCu + "Listed", "A", "DWORD", "1"),
              "policy Listed (\"Listed values\") is a Machine policy: under HKEY_CURRENT_USER "
              "Windows does not read it (it belongs under HKEY_LOCAL_MACHINE)");
    EXPECT_EQ(message(kLm + "Fixture", "Mode", "DWORD", "2"),
              "policy Mode (\"Mode & more\") is a User policy: under HKEY_LOCAL_MACHINE Windows "
              "does not read it (it belongs under HKEY_CURRENT_USER)");
    EXPECT_EQ(message(kLm + "Fixture", "NoAutoRn", "DWORD", "1"),
              "no policy defines \"NoAutoRn\" under this key, but policy NoAutoRun (\"Turn off "
              "AutoRun\") defines \"NoAutoRun\": a typo? Windows ignores the value as written");
}

TEST_F(PolicyCheck, TextsInTheUsersLanguageElseEnglish) {
    struct Case {
        std::vector<std::string> languages;
        std::string noAutoRun, mode;
    };
    const Case cases[] = {
        {{}, "Turn off AutoRun", "Mode & more"},
        {{"de-DE"}, "AutoRun ausschalten", ""},  // the German file lacks it: no text, the name
        {{"fr-FR", "de-DE"}, "AutoRun ausschalten", ""},
        {{"fr-FR"}, "Turn off AutoRun", "Mode & more"},
    };
    for (const Case& c : cases) {
        folders.languages = c.languages;
        PolicyLibrary& read = Loaded();
        EXPECT_EQ(read.DisplayName(0), c.noAutoRun);
        EXPECT_EQ(read.DisplayName(1), c.mode.empty() ? "Mode" : c.mode);
    }
    folders.languages = {};
    PolicyLibrary& read = Loaded();
    EXPECT_EQ(read.DisplayName(2), "Tuning <raw>");        // written as it is, no reference
    EXPECT_EQ(read.SupportedOn(0), "At least Windows 7");  // in Windows.admx's texts
    EXPECT_EQ(read.SupportedOn(1), "Orvik only");
    EXPECT_EQ(read.SupportedOn(2), "");
    EXPECT_EQ(read.Explanation(0), "Stops AutoRun. On every drive.");
    EXPECT_EQ(read.Explanation(1), "");  // none stated
}

TEST_F(PolicyCheck, EditorLinesNameEachPolicyOnce) {
    OptimizationItem entry;
    entry.regItems = {{0, kLm + "Fixture", "NoAutoRun", "1"},
                      {0, kLm + "Fixture", "NoAutoRun", "7"},  // a wrong value still names it
                      {0, kLm + "Fixture", "EnableLUA", "0"},
                      {1, kCu + "Fixture", "Mode", "off & out"},
                      {0, kLm + "Fixture", "CacheSize", "20"}};
    EXPECT_EQ(policy::PolicyLines(entry, Loaded()),
              (std::vector<std::string>{"Policy: Turn off AutoRun (supported on: At least "
                                        "Windows 7)",
                                        "Policy: Mode & more (supported on: Orvik only)",
                                        "Policy: Tuning <raw>"}));
}

TEST_F(PolicyCheck, FilesThatCannotBeReadAreLeftOutAndNamed) {
    folders.files[kFolder + "\\zbroken.admx"] =
        kHead +
        "<policies><policy name=\"Half\" class=\"Machine\" key=\"Software\\Policies\\"
        "Orvik\\Fixture\" valueName=\"Halfway\"/><policy>";
    folders.files[kFolder + "\\typed.admx"] =
        "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY e \"x\">]><policyDefinitions/>";
    folders.files[kFolder + "\\en-US\\Windows.adml"] = "<policyDefinitionResources>";
    PolicyLibrary& read = Loaded();
    EXPECT_EQ(read.Read().policies.size(), 4u);  // nothing of the broken file's start
    EXPECT_EQ(read.SupportedOn(0), "");
    ASSERT_EQ(read.Problems().size(), 3u);
    EXPECT_EQ(read.Problems()[0].path, kFolder + "\\typed.admx");
    EXPECT_NE(read.Problems()[0].reason.find("document type"), std::string::npos);
    EXPECT_EQ(read.Problems()[1].path, kFolder + "\\zbroken.admx");
    EXPECT_NE(read.Problems()[1].at.line, 0u);
    EXPECT_EQ(read.Problems()[2].path, kFolder + "\\en-US\\Windows.adml");
    EXPECT_EQ(Check(kLm + "Fixture", "NoAutoRun", "DWORD", "1"), "NoAutoRun");
    EXPECT_EQ(Check(kLm + "Fixture", "Halfway", "DWORD", "1"), "undefined");
}

TEST_F(PolicyCheck, ValuesThatSeveralFilesDefine) {
    folders.files[kFolder + "\\more.admx"] = kHead + R"admx(<policies>
      <policy name="UserRun" class="User" key="Software\Policies\Orvik\Fixture"
              valueName="NoAutoRun"><enabledValue><decimal value="5"/></enabledValue></policy>
      <policy name="Extra" class="Both" key="Software\Policies\Orvik\Fixture"
              valueName="ExtraValue"/>
    </policies></policyDefinitions>)admx";
    struct Case {
        std::string key, name, value, expected;
    };
    const Case cases[] = {
        {kLm + "Fixture", "NoAutoRun", "1", "NoAutoRun"},
        {kCu + "Fixture", "NoAutoRun", "5", "UserRun"},
        {kCu + "Fixture", "NoAutoRun", "1", "NoAutoRun policy-wrong-hive"},
        {kLm + "Fixture", "NoAutoRun", "5", "UserRun policy-wrong-hive"},
        {kCu + "Fixture", "NoAutoRun", "7", "UserRun policy-value-not-allowed"},
        {kLm + "Fixture", "ExtraValu", "1", "undefined policy-unknown-value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Check(c.key, c.name, "DWORD", c.value), c.expected) << c.key << c.value;
    }
}

TEST_F(PolicyCheck, AFolderWithoutDefinitions) {
    PolicyLibrary missing(folders, *xml);
    EXPECT_FALSE(missing.Load("C:\\Elsewhere"));
    folders.files["C:\\Empty\\readme.txt"] = "";
    EXPECT_FALSE(missing.Load("C:\\Empty"));
    EXPECT_TRUE(missing.Read().policies.empty());
}

TEST(EditDistance, CountsTyposUpToTheLimit) {
    struct Case {
        std::string a, b;
        size_t edits;
    };
    const Case cases[] = {
        {"NoAutoRun", "noautorun", 0},
        {"", "ab", 2},
        {"abc", "xyz", 3},
        {"ab", "ba", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(policy::EditDistance(c.a, c.b, 2), c.edits) << c.a << " " << c.b;
        EXPECT_EQ(policy::EditDistance(c.b, c.a, 2), c.edits) << c.b << " " << c.a;
    }
}

}  // namespace
