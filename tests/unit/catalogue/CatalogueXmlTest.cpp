// The catalogue reader and writer on this build's XML services (expat and pugixml natively;
// XmlLite, MSXML's SAX2 reader and DOM under Wine), all with the same results, positions too.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "CatalogueCheck.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

#include "TestSupport.h"
#include "XmlServices.h"

namespace fs = std::filesystem;

namespace {

using cataloguecheck::Dump;
using testsupport::Utf8;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

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

    OptimizationList Read(const std::string& bytes, ReadObserver* observer = nullptr) {
        return XmlReader(*xml_, Utf8(folder_), observer).ReadXML(Write(bytes));
    }

    OptimizationList ReadItems(const std::string& items) {
        return Read(kDeclaration + "<Optimizations>" + items + "</Optimizations>");
    }

    std::unique_ptr<XmlDocumentFactory> xml_ = testsupport::XmlServices();
    fs::path folder_;
};

TEST_F(CatalogueXml, ReadsEveryFieldWithLastOneCountingAndListsAdding) {
    const OptimizationList list = ReadItems(R"(
      <Item>
        <Number>7</Number><Name>first</Name><Name>  Disable   <i>indexing</i>  </Name>
        <name>lower-case names are not fields</name>
        <Description>Stops it.Justification:Saves IO.</Description>
        <OSVersion>WindowsXP</OSVersion><OSVersion>windows7 All</OSVersion>
        <Enabled>true</Enabled><Mode>basic</Mode><Impact>HIGH</Impact>
        <Category>STORAGE</Category><Unknown><Name>skipped with its content</Name></Unknown>
        <RegistryEntries>
          <RegistryEntry><Key>HKEY_LOCAL_MACHINE</Key><ValueName>V</ValueName>
            <KeyType>string</KeyType><Value>x</Value><Value>y</Value></RegistryEntry>
          <Anything><Key>K2</Key></Anything>
        </RegistryEntries>
        <RegistryEntries><RegistryEntry><KeyType>Binary</KeyType></RegistryEntry></RegistryEntries>
        <ScheduledTasks><ScheduledTask><Path> \A </Path><State>x</State><State>disabled</State>
          <Name>n</Name></ScheduledTask></ScheduledTasks>
        <Services><Service><Name>SysMain</Name><StartType> Manual </StartType><Path>p</Path>
          <Stop>tRUE</Stop></Service><Svc><StartType>Boot</StartType><Stop>True</Stop>
          <Stop>false</Stop></Svc></Services>
        <CommandLines><CommandLine><Command>a.exe</Command><Other>b</Other></CommandLine>
          <X/></CommandLines>
        <WMIQueries><WMIQuery><Command>SELECT * FROM Win32_Process</Command>
          <WarningLevel>9999</WarningLevel></WMIQuery><Q><Command>q</Command></Q></WMIQueries>
      </Item>
      <Optimization/>)");
    EXPECT_EQ(Dump(list),
              "7|Disable   indexing|Stops it.|Saves IO.|STORAGE|HIGH|2|1|1;5;7;"
              "[R1;HKEY_LOCAL_MACHINE|V|y|[R0;K2|||[R2;|||[S!SysMain|Manual|[S|Boot|"
              "[T\\x5CA|disabled|[Ca.exe|[C|"
              "[W9999;SELECT * FROM Win32_Process|[W0;q|\n"
              // An item under another name, without children: all defaults.
              "||||||0|0|\n");
}

TEST_F(CatalogueXml, SplitsDescriptionsAndVersionNamesAsWritten) {
    const OptimizationList list = ReadItems(
        "<Item><Description>Justification:only why</Description></Item>"
        "<Item><Description>a Justification:b Justification:c</Description></Item>"
        "<Item><Description>no justification: here</Description></Item>"
        // A later description without the marker leaves the earlier justification alone.
        "<Item><Description>x Justification:y</Description><Description>plain</Description>"
        "</Item>"
        // Blanks split names; two blanks give an empty name; the trailing blank is trimmed. A near
        // miss or a letter outside ASCII makes no name.
        "<Item><OSVersion>Windows XP Windows81 w\xC3\xAEndows7</OSVersion>"
        "<OSVersion>Windows10  WINDOWS8 </OSVersion><OSVersion></OSVersion></Item>");
    EXPECT_EQ(Dump(list),
              "|||only why|||0|0|\n"
              "||a |b Justification:c|||0|0|\n"
              "||no justification: here||||0|0|\n"
              "||plain|y|||0|0|\n"
              "||||||0|0|0;0;0;0;13;0;8;\n");
}

TEST_F(CatalogueXml, WarningLevelOutsideWholeSixteenBitNumbersWarnsAtOneObject) {
    const std::pair<const char*, int16_t> cases[] = {
        {"9999", 9999}, {"0", 0},      {" 12 ", 12},       {"+5", 5},
        {"007", 7},     {"-1", -1},    {"32767", 32767},   {"-32768", -32768},
        {"32768", 1},   {"-32769", 1}, {"99999999999", 1}, {"abc", 1},
        {"1.5", 1},     {"12abc", 1},  {"0x10", 1},        {"", 1},
        {"-", 1},       {"1 2", 1}};
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

TEST_F(CatalogueXml, AnythingUnloadableGivesAnEmptyCatalogue) {
    const std::string item = "<Item><Name>n</Name></Item>";
    const std::string good = "<Optimizations>" + item + "</Optimizations>";
    ASSERT_EQ(Read(good).size(), 1u);  // the cases below differ from this one only as named
    EXPECT_TRUE(XmlReader(*xml_, Utf8(folder_)).ReadXML(Utf8(File("missing.xml"))).empty());
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"mismatched", "<Optimizations><Item></Optimizations>"},
        {"text before the root", "text" + good},
        {"text after the root", good + "text"},
        {"undefined entity in an attribute",
         "<Optimizations id=\"&nbsp;\">" + item + "</Optimizations>"},
        {"undeclared prefix", "<Optimizations><x:Item/>" + item + "</Optimizations>"},
    };
    for (const auto& [what, bytes] : cases) EXPECT_TRUE(Read(bytes).empty()) << what;
}

// Every record knows where its element's "<" stands, counted in characters from 1, whatever
// the encoding and line ends, and past comments, CDATA and instructions that hold a "<".
TEST_F(CatalogueXml, EveryRecordKnowsWhereItsElementStarts) {
    const std::string body =
        "<Optimizations>\n"
        "  <Item><Name>\xC3\xA9\xF0\x9F\x98\x80</Name><WMIQueries><WMIQuery/></WMIQueries>\r\n"
        "\t<RegistryEntries><RegistryEntry/><RegistryEntry\n"
        "  a=\"1\"/></RegistryEntries>\r"
        "<CommandLines><!-- <X> --><![CDATA[<Y>]]><?p <Z>?><CommandLine/></CommandLines></Item>\n"
        "<Item/></Optimizations>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit :
         std::u16string_view(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Optimizations>\n"
                             u"  <Item><Name>\u00e9\U0001F600</Name><WMIQueries><WMIQuery/>")) {
        utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    for (char c : body.substr(body.find("</WMIQueries>"))) utf16 += {c, '\0'};
    for (const std::string& bytes :
         {kDeclaration + body, "\xEF\xBB\xBF" + kDeclaration + body, utf16}) {
        const OptimizationList list = Read(bytes);
        ASSERT_EQ(list.size(), 2u);
        const OptimizationItem& item = *list[0];
        ASSERT_EQ(item.regItems.size(), 2u);
        ASSERT_TRUE(item.cmdItems.size() == 1 && item.wmiItems.size() == 1);
        EXPECT_EQ(item.Position, (XmlPosition{3, 3}));
        EXPECT_EQ(item.wmiItems[0].Position, (XmlPosition{3, 36}));
        EXPECT_EQ(item.regItems[0].Position, (XmlPosition{4, 19}));
        EXPECT_EQ(item.regItems[1].Position, (XmlPosition{4, 35}));
        EXPECT_EQ(item.cmdItems[0].Position, (XmlPosition{6, 51}));
        EXPECT_EQ(list[1]->Position, (XmlPosition{7, 1}));
    }
    // A byte-order mark is no character of the first line; a CR LF across the pieces a parser
    // reads the file in (64 KB, 4 KB) is one line end.
    const std::string root = "<Optimizations><Item/></Optimizations>";
    std::string root16 = "\xFE\xFF";
    for (char c : root) root16 += {'\0', c};
    const std::pair<std::string, XmlPosition> more[] = {
        {"\xEF\xBB\xBF" + root, {1, 16}},
        {root16, {1, 16}},
        {"<Optimizations><!--" + std::string(65513, 'x') + "-->\r\n<Item/></Optimizations>",
         {2, 1}},
    };
    for (const auto& [bytes, at] : more) {
        const OptimizationList list = Read(bytes);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->Position, at);
    }
}

// What the catalogue check is told, as kind@line:column element=text.
class Notices : public ReadObserver {
public:
    void Notice(const ReadNotice& n) override {
        static const char* const kKinds[] = {"Unreadable",     "RefusedFile", "ParseError",
                                             "UnknownElement", "UnknownName", "WarningLevel",
                                             "Enabled",        "Stop",        "Missing",
                                             "Unusual",        "WrongRoot"};
        heard.push_back(std::string(kKinds[static_cast<int>(n.kind)]) + "@" +
                        std::to_string(n.at.line) + ":" + std::to_string(n.at.column) + " " +
                        n.element + "=" + n.text);
    }
    std::vector<std::string> heard;
};

TEST_F(CatalogueXml, AnObserverHearsWhatWouldPassInSilence) {
    Notices notices;
    const OptimizationList list = Read(
        kDeclaration +
            "<Optimizations>\n"
            "<Item><Colour>red</Colour><OSVersion>Windows7 Windows12  ALL</OSVersion>"
            "<Enabled>yes</Enabled><Mode>Turbo</Mode><Enabled>False</Enabled>\n"
            "<RegistryEntries><RegistryEntry><KeyType>FLOAT</KeyType><Extra/><KeyType>dword</"
            "KeyType>"
            "</RegistryEntry></RegistryEntries>\n"
            "<WMIQueries><WMIQeury><WarningLevel>lots</WarningLevel><WarningLevel>12</WarningLevel>"
            "</WMIQeury></WMIQueries><Mode>hidef</Mode><OSVersion>windows2000</OSVersion>"
            "<Services><Service><Stop>on</Stop></Service></Services></Item>\n"
            "</Optimizations>",
        &notices);
    ASSERT_EQ(list.size(), 1u);  // what is heard changes nothing that is read
    EXPECT_EQ(Dump(list), "||||||0|0|5;0;0;7;0;[R0;|||[S||[W12;|\n");
    EXPECT_EQ(notices.heard,
              (std::vector<std::string>{
                  "UnknownElement@3:7 Colour=", "UnknownName@3:27 OSVersion=Windows12",
                  "UnknownName@3:27 OSVersion=", "Enabled@3:73 Enabled=yes",
                  "UnknownName@3:95 Mode=Turbo", "UnknownName@4:33 KeyType=FLOAT",
                  "UnknownElement@4:57 Extra=", "Missing@4:18 Key=", "Missing@4:18 ValueName=",
                  "Missing@4:18 Value=", "Unusual@5:13 WMIQeury=WMIQuery",
                  "WarningLevel@5:23 WarningLevel=lots", "Stop@5:182 Stop=on"}));

    const std::pair<std::string, std::string> files[] = {
        {"<Catalogue><Item/></Catalogue>", "WrongRoot@1:1 Catalogue="},
        {"<Optimizations>\n  \x01</Optimizations>",
         "RefusedFile@2:3 =a character XML does not allow (U+0001)"},
        // What the file holds, where it stands, rather than the parser's own words.
        {"<Optimizations>\n<Item><Name>A & B</Name></Item></Optimizations>",
         "ParseError@2:15 =a bare & (write &amp; for an ampersand in text)"},
        {"<Optimizations>\n<Item><Name>x", "ParseError@2:"},
        {"<Optimizations><!DOCTYPE", "ParseError@1:"},  // the column is each parser's own
    };
    for (const auto& [bytes, heard] : files) {
        notices.heard.clear();
        EXPECT_TRUE(Read(bytes, &notices).empty());
        ASSERT_EQ(notices.heard.size(), 1u) << heard;
        EXPECT_EQ(notices.heard[0].substr(0, heard.size()), heard);
    }
    // A file never parsed is no empty catalogue: missing, or with no parser to be had.
    struct NoParser final : XmlDocumentFactory {
        std::unique_ptr<XmlDocument> NewDocument() override { return nullptr; }
        std::optional<std::string> ReadFileBytes(const std::string&, std::string&) override {
            return "<a/>";
        }
        bool ReadEvents(const std::string&, XmlEvents&) override { throw std::runtime_error("x"); }
    } noParser;
    notices.heard.clear();
    XmlReader(*xml_, Utf8(folder_), &notices).ReadXML(Utf8(File("missing.xml")));
    XmlReader(noParser, Utf8(folder_), &notices).ReadXML("any");
    // A missing file: why, in the system's own words (each side has its own).
    ASSERT_EQ(notices.heard.size(), 2u);
    EXPECT_EQ(notices.heard[0].rfind("Unreadable@0:0 =", 0), 0u);
    EXPECT_GT(notices.heard[0].size(), 16u);
    EXPECT_NE(notices.heard[0], "Unreadable@0:0 =cannot be read");
    EXPECT_EQ(notices.heard[1], "Unreadable@0:0 =cannot be read (x)");
}

TEST_F(CatalogueXml, RecordsWithUnnamedCodesLeaveTheFileAsItWas) {
    const std::string path = Write("previous", "OrvikOptimizations.xml");
    XmlWriter writer(*xml_, Utf8(folder_));
    const auto sound = std::make_shared<OptimizationItem>();
    auto badVersion = std::make_shared<OptimizationItem>();
    badVersion->osVersions = {5, codes::kVersionCount};
    auto badMode = std::make_shared<OptimizationItem>();
    badMode->mode = -1;
    EXPECT_FALSE(writer.WriteXMLFile({sound, badVersion}));
    EXPECT_FALSE(writer.WriteXMLFile({badMode}));
    EXPECT_FALSE(writer.WriteXMLFile({sound, nullptr}));
    EXPECT_EQ(cataloguecheck::Contents(path), "previous");
    // The records are untouched too, and a sound list still saves.
    EXPECT_EQ(badVersion->osVersions, (std::vector<int32_t>{5, codes::kVersionCount}));
    EXPECT_TRUE(writer.WriteXMLFile({sound}));
    EXPECT_EQ(XmlReader(*xml_, Utf8(folder_)).ReadXML(path).size(), 1u);
    EXPECT_FALSE(writer.WriteXMLFile({sound}, Utf8(File("no-such-folder/x.xml"))));
    // An empty list gives a catalogue the reader reads as empty, not a refused file.
    ASSERT_TRUE(writer.WriteXMLFile({}));
    Notices notices;
    EXPECT_TRUE(XmlReader(*xml_, Utf8(folder_), &notices).ReadXML(path).empty());
    EXPECT_TRUE(notices.heard.empty());
}

// Latin-1 and windows-1252, as older Windows editors save a file, are read with every place
// kept; a byte they do not define, another encoding, or one not declared is refused with a hint.
TEST_F(CatalogueXml, DeclaredLatinEncodingsAreReadOthersRefusedWithAHint) {
    const std::string body =
        "?>\n<Optimizations><Item><Name>Gr\366\337e \200</Name></Item></Optimizations>";
    const std::pair<std::string, std::string> read[] = {
        {"ISO-8859-1", "Gr\303\266\303\237e \302\200"},
        {"windows-1252", "Gr\303\266\303\237e \342\202\254"}};
    for (const auto& [encoding, name] : read) {
        const OptimizationList list =
            Read("<?xml version=\"1.0\" encoding='" + encoding + "'" + body);
        ASSERT_EQ(list.size(), 1u) << encoding;
        EXPECT_EQ(list[0]->Name, name);
        EXPECT_EQ(list[0]->Position, (XmlPosition{2, 16}));
    }
    // Windows' own name for UTF-16, in a file that is UTF-16 (either byte order).
    std::string unicode = "\xFF\xFE", unicodeBig = "\xFE\xFF";
    for (char c : std::string_view("<?xml version='1.0' encoding='unicode'?><Optimizations>\n"
                                   "<Item><Name>n</Name></Item></Optimizations>")) {
        unicode += {c, '\0'};
        unicodeBig += {'\0', c};
    }
    for (const std::string& bytes : {unicode, unicodeBig}) {
        const OptimizationList list = Read(bytes);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->Name, "n");
        EXPECT_EQ(list[0]->Position, (XmlPosition{2, 1}));
    }
    // A reference in a start tag across the end of the reader's first 8,188 bytes of a UTF-16
    // file crashed Wine's XmlLite, from about 300 characters long.
    std::string across = "\xFF\xFE", name = "<Name a='" + std::string(80 * 5, '&') + "'>";
    for (size_t at = name.find('&'); at != std::string::npos; at = name.find('&', at + 5)) {
        name.replace(at, 5, "&amp;");
    }
    for (char c : "<?xml version='1.0' encoding='unicode'?><Optimizations><!--" +
                      std::string(3900, 'c') + "--><Item>" + name +
                      "n</Name></Item></Optimizations>") {
        across += {c, '\0'};
    }
    const OptimizationList list = Read(across);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->Name, "n");
    Notices notices;
    for (const std::string& refused :
         {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"" + body,
          "<?xml version=\"1.0\" encoding=\"unicode\"" + body,
          "<?xml version=\"1.0\" encoding=\"windows-1252\"" + body + "\x81",
          std::string("<Optimizations><Item><Name>\xF6</Name></Item></Optimizations>")}) {
        notices.heard.clear();
        EXPECT_TRUE(Read(refused, &notices).empty());
        ASSERT_EQ(notices.heard.size(), 1u);
        EXPECT_EQ(notices.heard[0].rfind("RefusedFile@", 0), 0u) << notices.heard[0];
        EXPECT_NE(notices.heard[0].find("save the file as UTF-8"), std::string::npos);
    }
}

TEST(CatalogueFile, DefaultPathAndWhatTheCheckRefusesWhere) {
    EXPECT_EQ(catalogue::DefaultPath("C:\\Tools"), "C:\\Tools\\OrvikOptimizations.xml");
    EXPECT_EQ(catalogue::DefaultPath("C:\\"), "C:\\OrvikOptimizations.xml");
    EXPECT_TRUE(catalogue::IsAcceptableFile("<?xml version='1.0' encoding='utf-8'?><a/>"));
    EXPECT_TRUE(catalogue::IsAcceptableFile(" <!-- <!DOCTYPE --> <?x <!DOCTYPE ?><a/>"));
    const std::pair<std::string, size_t> refused[] = {
        // the bytes, where the fault begins
        {"<?xml version='1.0' encoding='UTF-16'?><a/>", 0},
        {"<!-- unterminated <a/>", 0},
        {"<![CDATA[x]]><a/>", 0},
        {"<!DOCTYPE a><a/>", 0},
        {"<?xml version=\"1.0\"?><!-- x --><?pi?>\n<!DOCTYPE a><a/>", 38},
        {std::string("\xFF\xFE\0\0<\0\0\0", 8), 0},
        {std::string("\xFF\xFE<\0a", 5), 4},                // odd length
        {std::string("\xFF\xFE<\0\x3D\xD8/\0>\0", 10), 4},  // unpaired surrogate
        {"<a>\xED\xA0\x80</a>", 3},                         // surrogate in UTF-8
        {"<a>\xF4\x90\x80\x80</a>", 3},                     // above U+10FFFF
        {std::string("<a>\0</a>", 8), 3},
    };
    for (const auto& [bytes, offset] : refused) {
        const catalogue::FileCheck check = catalogue::CheckFile(bytes);
        EXPECT_FALSE(check.acceptable) << bytes;
        EXPECT_EQ(check.offset, offset) << bytes;
        EXPECT_FALSE(check.reason.empty());
    }
}

}  // namespace
