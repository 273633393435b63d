// The catalogue reader and writer over this build's XML document object: pugixml natively,
// MSXML 6 under Wine. Both sides expect the same results.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Utf8;

class CatalogueXml : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / (std::string("orvik-catalogue-") + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path File(const std::string& name) const { return folder_ / name; }

    std::string Write(const std::string& bytes, const std::string& name = "c.xml") const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return Utf8(File(name));
    }

    std::string Contents(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // A document object may end its lines in CR LF; the layout is otherwise the same.
        std::string lf;
        for (size_t i = 0; i < text.size(); ++i) {
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
        }
        return lf;
    }

    OptimizationList Read(const std::string& bytes) {
        return XmlReader(*xml_, Utf8(folder_)).ReadXML(Write(bytes));
    }

    // Items inside a root element, as most cases need.
    OptimizationList ReadItems(const std::string& items) {
        return Read("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations>" + items +
                    "</Optimizations>");
    }

    std::unique_ptr<XmlDocumentFactory> xml_ = NewXmlDocumentFactory();
    fs::path folder_;
};

TEST_F(CatalogueXml, ReadsEveryFieldWithLastOneCountingAndListsAdding) {
    const OptimizationList list = ReadItems(R"(
      <Item>
        <Number>7</Number><Name>first</Name><Name>  Disable   indexing  </Name>
        <name>lower-case names are not fields</name>
        <Description>Stops it.Justification:Saves IO.</Description>
        <OSVersion>WindowsXP</OSVersion><OSVersion>windows7 All</OSVersion>
        <Enabled>true</Enabled><Mode>basic</Mode><Impact>HIGH</Impact>
        <Category>STORAGE</Category><Unknown><Name>skipped with its content</Name></Unknown>
        <RegistryEntries>
          <RegistryEntry><Key>HKEY_LOCAL_MACHINE\Software\A</Key><ValueName>V</ValueName>
            <KeyType>string</KeyType><Value>x</Value><Value>y</Value></RegistryEntry>
          <Anything><Key>K2</Key></Anything>
        </RegistryEntries>
        <RegistryEntries><RegistryEntry><KeyType>Binary</KeyType></RegistryEntry></RegistryEntries>
        <CommandLines><CommandLine><Command>a.exe</Command><Other>b</Other></CommandLine>
          <X/></CommandLines>
        <WMIQueries><WMIQuery><Command>SELECT * FROM Win32_Process</Command>
          <WarningLevel>9999</WarningLevel></WMIQuery><Q><Command>q</Command></Q></WMIQueries>
      </Item>
      <Optimization/>)");
    ASSERT_EQ(list.size(), 2u);
    const OptimizationItem& item = *list[0];
    EXPECT_EQ(item.Number, "7");
    EXPECT_EQ(item.Name, "Disable   indexing");
    EXPECT_EQ(item.Description, "Stops it.");
    EXPECT_EQ(item.Justification, "Saves IO.");
    EXPECT_EQ(item.osVersions, (std::vector<int32_t>{1, 5, 7}));
    EXPECT_TRUE(item.Enabled);
    EXPECT_EQ(item.mode, 2);
    EXPECT_EQ(item.Impact, "HIGH");
    EXPECT_EQ(item.Category, "STORAGE");
    ASSERT_EQ(item.regItems.size(), 3u);
    EXPECT_EQ(item.regItems[0].Key, "HKEY_LOCAL_MACHINE\\Software\\A");
    EXPECT_EQ(item.regItems[0].ValueName, "V");
    EXPECT_EQ(item.regItems[0].KeyType, 1);
    EXPECT_EQ(item.regItems[0].Value, "y");
    EXPECT_EQ(item.regItems[1].Key, "K2");
    EXPECT_EQ(item.regItems[1].KeyType, 0);
    EXPECT_EQ(item.regItems[2].KeyType, 2);
    ASSERT_EQ(item.cmdItems.size(), 2u);
    EXPECT_EQ(item.cmdItems[0].Command, "a.exe");
    EXPECT_EQ(item.cmdItems[1].Command, "");
    ASSERT_EQ(item.wmiItems.size(), 2u);
    EXPECT_EQ(item.wmiItems[0].Command, "SELECT * FROM Win32_Process");
    EXPECT_EQ(item.wmiItems[0].WarningLevel, 9999);
    EXPECT_EQ(item.wmiItems[1].WarningLevel, 0);

    // An item under another name, without children: all defaults.
    const OptimizationItem& empty = *list[1];
    EXPECT_FALSE(empty.Enabled);
    EXPECT_EQ(empty.mode, 0);
    EXPECT_EQ(empty.Name + empty.Number + empty.Description + empty.Justification, "");
    EXPECT_TRUE(empty.regItems.empty() && empty.cmdItems.empty() && empty.wmiItems.empty() &&
                empty.osVersions.empty());
}

TEST_F(CatalogueXml, SplitsDescriptionsAndVersionNamesAsWritten) {
    const OptimizationList list = ReadItems(
        "<Item><Description>Justification:only why</Description></Item>"
        "<Item><Description>a Justification:b Justification:c</Description></Item>"
        "<Item><Description>no justification: here</Description></Item>"
        "<Item><Description>x Justification:y</Description><Description>plain</Description>"
        "</Item>"
        "<Item><OSVersion>Windows XP</OSVersion><OSVersion>Windows10  WINDOWS8 </OSVersion>"
        "<OSVersion></OSVersion></Item>");
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0]->Description, "");
    EXPECT_EQ(list[0]->Justification, "only why");
    EXPECT_EQ(list[1]->Description, "a ");
    EXPECT_EQ(list[1]->Justification, "b Justification:c");
    EXPECT_EQ(list[2]->Description, "no justification: here");
    EXPECT_EQ(list[2]->Justification, "");
    // A later description without the marker leaves the earlier justification alone.
    EXPECT_EQ(list[3]->Description, "plain");
    EXPECT_EQ(list[3]->Justification, "y");
    // Blanks split names; two blanks give an empty name; the trailing blank is trimmed away.
    EXPECT_EQ(list[4]->osVersions, (std::vector<int32_t>{0, 0, 13, 0, 8}));
}

TEST_F(CatalogueXml, EnabledIsTrueOnlyForTrueInAnyCase) {
    std::string items;
    for (const char* value : {"true", "True", "TRUE", " TrUe ", "1", "yes", "", "TRUE."}) {
        items += std::string("<Item><Enabled>") + value + "</Enabled></Item>";
    }
    const OptimizationList list = ReadItems(items);
    ASSERT_EQ(list.size(), 8u);
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i]->Enabled, i < 4) << i;
}

TEST_F(CatalogueXml, WarningLevelOutsideWholeSixteenBitNumbersWarnsAtOneObject) {
    const std::pair<const char*, int16_t> cases[] = {
        {"9999", 9999}, {"0", 0}, {" 12 ", 12}, {"+5", 5}, {"007", 7}, {"-1", -1},
        {"32767", 32767}, {"-32768", -32768}, {"32768", 1}, {"-32769", 1}, {"99999999999", 1},
        {"abc", 1}, {"1.5", 1}, {"12abc", 1}, {"0x10", 1}, {"", 1}, {"-", 1}, {"1 2", 1}};
    std::string items = "<Item><WMIQueries>";
    for (const auto& [text, level] : cases) {
        items += std::string("<WMIQuery><WarningLevel>") + text + "</WarningLevel></WMIQuery>";
    }
    const OptimizationList list = ReadItems(items + "</WMIQueries></Item>");
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0]->wmiItems.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(list[0]->wmiItems[i].WarningLevel, cases[i].second) << cases[i].first;
    }
}

TEST_F(CatalogueXml, IgnoresCommentsInstructionsAndStrayTextBetweenElements) {
    const OptimizationList list = ReadItems(R"(
      <!-- before --><?pi data?>stray<![CDATA[<Item/>]]>
      <Item><!-- c -->text<?pi?><![CDATA[cdata]]>
        <Name>A<!-- c -->-&amp;-<![CDATA[<B>]]><i>nested</i>&#x263A;&lt;</Name>
        <CommandLines>stray<!-- c --><?pi?><CommandLine>x<!-- c -->
          <Command><![CDATA[ run & go ]]></Command></CommandLine></CommandLines>
      </Item>)");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->Name, "A-&-<B>nested\xE2\x98\xBA<");
    ASSERT_EQ(list[0]->cmdItems.size(), 1u);
    EXPECT_EQ(list[0]->cmdItems[0].Command, "run & go");
}

TEST_F(CatalogueXml, AnythingUnloadableGivesAnEmptyCatalogue) {
    const std::string item = "<Item><Name>n</Name></Item>";
    const std::string good = "<Optimizations>" + item + "</Optimizations>";
    ASSERT_EQ(Read(good).size(), 1u);  // the cases below differ from this one only as named

    EXPECT_TRUE(XmlReader(*xml_, Utf8(folder_)).ReadXML(Utf8(File("missing.xml"))).empty());
    EXPECT_TRUE(Read("").empty());
    EXPECT_TRUE(Read(good.substr(0, good.size() - 5)).empty()) << "truncated";
    EXPECT_TRUE(Read("<Optimizations><Item></Optimizations>").empty()) << "mismatched";
    EXPECT_TRUE(Read("<Catalogue>" + item + "</Catalogue>").empty()) << "wrong root";
    EXPECT_TRUE(Read("<optimizations>" + item + "</optimizations>").empty()) << "root's case";
    EXPECT_TRUE(Read(good + "<Optimizations/>").empty()) << "two roots";
    EXPECT_TRUE(Read("text" + good).empty()) << "text before the root";
    EXPECT_TRUE(Read(good + "text").empty()) << "text after the root";
    EXPECT_TRUE(Read("<Optimizations><Item><Name>&nbsp;</Name></Item></Optimizations>").empty())
        << "undefined entity";
    EXPECT_TRUE(Read("<Optimizations id=\"&nbsp;\">" + item + "</Optimizations>").empty())
        << "undefined entity in an attribute";
    EXPECT_TRUE(Read("<Optimizations><Item><Name>\x01</Name></Item></Optimizations>").empty())
        << "control character";
    EXPECT_TRUE(Read("<Optimizations><Item><Name>\xC3</Name></Item></Optimizations>").empty())
        << "broken UTF-8";
    EXPECT_TRUE(Read("<Optimizations><Item><Name>\xC0\xAF</Name></Item></Optimizations>").empty())
        << "overlong UTF-8";
    EXPECT_TRUE(Read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + good).empty())
        << "encoding other than UTF-8 or UTF-16";
}

TEST_F(CatalogueXml, DocumentTypesAreRefusedBeforeAnyEntityIsExpanded) {
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE Optimizations [\n<!ENTITY l0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        bomb += "<!ENTITY l" + std::to_string(level) + " \"";
        for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(level - 1) + ";";
        bomb += "\">\n";
    }
    bomb += "]>\n<Optimizations><Item><Name>&l9;</Name></Item></Optimizations>";
    EXPECT_TRUE(Read(bomb).empty());

    const std::string secret = Write("TOP SECRET", "secret.txt");
    EXPECT_TRUE(Read("<!DOCTYPE Optimizations [<!ENTITY x SYSTEM \"file:///" + secret +
                     "\">]><Optimizations><Item><Name>&x;</Name></Item></Optimizations>")
                    .empty());
    // A harmless document type, or one behind a comment, is refused all the same.
    EXPECT_TRUE(Read("<!DOCTYPE Optimizations><Optimizations><Item/></Optimizations>").empty());
    EXPECT_TRUE(Read("<?xml version=\"1.0\"?><!-- x --><?pi?>\n<!DOCTYPE Optimizations>"
                     "<Optimizations><Item/></Optimizations>")
                    .empty());
}

TEST_F(CatalogueXml, ReadsUtf8WithMarkAndUtf16WithMarkOnly) {
    const std::u16string text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Optimizations><Item><Name>\u03a9\u6f22"
        u"\U0001F600</Name></Item></Optimizations>";
    const std::string name = "\xCE\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80";
    std::string le = "\xFF\xFE", be = "\xFE\xFF", bare;
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        le += {low, high};
        be += {high, low};
        bare += {low, high};
    }
    for (const std::string& bytes : {le, be}) {
        const OptimizationList list = Read(bytes);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->Name, name);
    }
    EXPECT_TRUE(Read(bare).empty()) << "UTF-16 must carry its byte-order mark";
    EXPECT_TRUE(Read(le.substr(0, le.size() - 1)).empty()) << "odd length";
    std::string lonely = le;
    lonely.replace(lonely.find("\x3D\xD8"), 2, "\x41\x00");  // high half of the emoji gone
    EXPECT_TRUE(Read(lonely).empty()) << "unpaired surrogate";

    const OptimizationList marked =
        Read("\xEF\xBB\xBF<Optimizations><Item><Name>" + name + "</Name></Item></Optimizations>");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0]->Name, name);
}

OptimizationItemPtr FullRecord() {
    auto item = std::make_shared<OptimizationItem>();
    item->Number = "12";
    item->Name = "Fish & Chips <\"quoted\"> 'single'";
    item->Description = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC & "
                        "\xE6\xBC\xA2\xE5\xAD\x97 ]]> \xF0\x9F\x98\x80";
    item->Justification = "because <b>";
    item->Category = "USER EXPERIENCE";
    item->Impact = "Medium";
    item->mode = 1;
    item->Enabled = true;
    item->osVersions = {1, 5, 6, 7, 9};
    RegistryItem reg;
    reg.Key = "HKEY_CURRENT_USER\\Software\\Orvik Test";
    reg.ValueName = "a&b";
    reg.KeyType = 2;
    reg.Value = "01,ff";
    item->regItems = {reg, RegistryItem{}};
    item->cmdItems = {cmdItem{"cmd.exe /c echo \"x\" > nul && exit"}, cmdItem{}};
    item->wmiItems = {wmiItem{"SELECT * FROM Win32_Service WHERE Name='x'", 9999},
                      wmiItem{"", -32768}};
    return item;
}

TEST_F(CatalogueXml, WritesTheExactLayout) {
    auto first = FullRecord();
    first->regItems.resize(1);
    first->cmdItems.resize(1);
    first->wmiItems.resize(1);
    first->osVersions = {1, 6};
    auto second = std::make_shared<OptimizationItem>();
    second->mode = 2;
    second->regItems.push_back(RegistryItem{});
    second->regItems[0].KeyType = 3;  // no name: an empty KeyType element
    ASSERT_TRUE(XmlWriter(*xml_, Utf8(folder_)).WriteXMLFile({first, second}));
    EXPECT_EQ(Contents("OrvikOptimizations.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"?>\n"
              "<Optimizations>\n"
              "  <Item>\n"
              "    <Number>12</Number>\n"
              "    <Name>Fish &amp; Chips &lt;\"quoted\"&gt; 'single'</Name>\n"
              "    <Description>" + first->Description.substr(0, 16) + " &amp; \xE6\xBC\xA2"
              "\xE5\xAD\x97 ]]&gt; \xF0\x9F\x98\x80Justification:because &lt;b&gt;</Description>\n"
              "    <OSVersion>WindowsXP WindowsServer2003R2 </OSVersion>\n"
              "    <Enabled>True</Enabled>\n"
              "    <Mode>Normal</Mode>\n"
              "    <Impact>Medium</Impact>\n"
              "    <Category>USER EXPERIENCE</Category>\n"
              "    <RegistryEntries>\n"
              "      <RegistryEntry>\n"
              "        <Key>HKEY_CURRENT_USER\\Software\\Orvik Test</Key>\n"
              "        <ValueName>a&amp;b</ValueName>\n"
              "        <KeyType>BINARY</KeyType>\n"
              "        <Value>01,ff</Value>\n"
              "      </RegistryEntry>\n"
              "    </RegistryEntries>\n"
              "    <CommandLines>\n"
              "      <CommandLine>\n"
              "        <Command>cmd.exe /c echo \"x\" &gt; nul &amp;&amp; exit</Command>\n"
              "      </CommandLine>\n"
              "    </CommandLines>\n"
              "    <WMIQueries>\n"
              "      <WMIQuery>\n"
              "        <Command>SELECT * FROM Win32_Service WHERE Name='x'</Command>\n"
              "        <WarningLevel>9999</WarningLevel>\n"
              "      </WMIQuery>\n"
              "    </WMIQueries>\n"
              "  </Item>\n"
              "  <Item>\n"
              "    <Number></Number>\n"
              "    <Name></Name>\n"
              "    <Description>Justification:</Description>\n"
              "    <OSVersion></OSVersion>\n"
              "    <Enabled>False</Enabled>\n"
              "    <Mode>Basic</Mode>\n"
              "    <Impact></Impact>\n"
              "    <Category></Category>\n"
              "    <RegistryEntries>\n"
              "      <RegistryEntry>\n"
              "        <Key></Key>\n"
              "        <ValueName></ValueName>\n"
              "        <KeyType></KeyType>\n"
              "        <Value></Value>\n"
              "      </RegistryEntry>\n"
              "    </RegistryEntries>\n"
              "  </Item>\n"
              "</Optimizations>\n");

    ASSERT_TRUE(XmlWriter(*xml_, Utf8(folder_)).WriteXMLFile({}, Utf8(File("empty.xml"))));
    EXPECT_EQ(Contents("empty.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"?>\n"
              "<Optimizations>\n</Optimizations>\n");
    EXPECT_TRUE(XmlReader(*xml_, "").ReadXML(Utf8(File("empty.xml"))).empty());
}

// Every field of a record, each closed by a separator no field holds.
std::string Fields(const OptimizationItem& e) {
    std::ostringstream out;
    out << e.Number << '|' << e.Name << '|' << e.Description << '|' << e.Justification << '|'
        << e.Category << '|' << e.Impact << '|' << e.mode << '|' << e.Enabled << '|';
    for (int32_t v : e.osVersions) out << v << ',';
    for (const auto& r : e.regItems)
        out << "|R" << r.Key << '\x1F' << r.ValueName << '\x1F' << r.KeyType << '\x1F' << r.Value;
    for (const auto& c : e.cmdItems) out << "|C" << c.Command;
    for (const auto& w : e.wmiItems) out << "|W" << w.Command << '\x1F' << w.WarningLevel;
    return out.str();
}

TEST_F(CatalogueXml, RoundTripKeepsEveryFieldThroughTheDefaultPath) {
    auto second = FullRecord();
    second->Name = "second";
    second->Enabled = false;
    second->mode = 0;
    second->osVersions = {0, 0, 2, 3, 4, 8};
    second->regItems[0].KeyType = 0;
    second->regItems[1].KeyType = 1;
    const OptimizationList written{FullRecord(), std::make_shared<OptimizationItem>(), second};
    ASSERT_TRUE(XmlWriter(*xml_, Utf8(folder_)).WriteXMLFile(written));
    const OptimizationList read = XmlReader(*xml_, Utf8(folder_)).ReadXML();
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_NE(read[i], written[i]);
        EXPECT_EQ(Fields(*read[i]), Fields(*written[i])) << "entry " << i;
    }
}

TEST_F(CatalogueXml, RecordsWithUnnamedCodesLeaveTheFileAsItWas) {
    const std::string path = Write("previous", "OrvikOptimizations.xml");
    XmlWriter writer(*xml_, Utf8(folder_));
    auto badVersion = FullRecord();
    badVersion->osVersions = {5, codes::kVersionCount};
    auto badMode = FullRecord();
    badMode->mode = -1;
    EXPECT_FALSE(writer.WriteXMLFile({FullRecord(), badVersion}));
    EXPECT_FALSE(writer.WriteXMLFile({badMode}));
    EXPECT_FALSE(writer.WriteXMLFile({FullRecord(), nullptr}));
    EXPECT_EQ(Contents("OrvikOptimizations.xml"), "previous");
    // The records are untouched too, and a sound list still saves.
    EXPECT_EQ(badVersion->osVersions, (std::vector<int32_t>{5, codes::kVersionCount}));
    EXPECT_TRUE(writer.WriteXMLFile({FullRecord()}));
    EXPECT_EQ(XmlReader(*xml_, Utf8(folder_)).ReadXML(path).size(), 1u);
    EXPECT_FALSE(writer.WriteXMLFile({FullRecord()}, Utf8(File("no-such-folder/x.xml"))));
}

TEST(CatalogueFile, DefaultPathAndPrologChecks) {
    EXPECT_EQ(catalogue::DefaultPath("C:\\Tools"), "C:\\Tools\\OrvikOptimizations.xml");
    EXPECT_EQ(catalogue::DefaultPath("C:\\"), "C:\\OrvikOptimizations.xml");
    EXPECT_TRUE(catalogue::IsAcceptableFile("<?xml version='1.0' encoding='utf-8'?><a/>"));
    EXPECT_TRUE(catalogue::IsAcceptableFile(" <!-- <!DOCTYPE --> <?x <!DOCTYPE ?><a/>"));
    EXPECT_FALSE(catalogue::IsAcceptableFile("<?xml version='1.0' encoding='UTF-16'?><a/>"));
    EXPECT_FALSE(catalogue::IsAcceptableFile("<!-- unterminated <a/>"));
    EXPECT_FALSE(catalogue::IsAcceptableFile("<![CDATA[x]]><a/>"));
    EXPECT_FALSE(catalogue::IsAcceptableFile(std::string("\xFF\xFE\0\0<\0\0\0", 8)));
    EXPECT_FALSE(catalogue::IsAcceptableFile("<a>\xED\xA0\x80</a>")) << "surrogate in UTF-8";
    EXPECT_FALSE(catalogue::IsAcceptableFile("<a>\xF4\x90\x80\x80</a>")) << "above U+10FFFF";
}

}  // namespace
