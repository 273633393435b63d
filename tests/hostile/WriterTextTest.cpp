// Texts that an XML file cannot carry as they are, saved by the writer and read back: the file
// must stay readable, and only the characters it cannot hold may change. Over this build's
// document object: pugixml natively, MSXML 6 under Wine.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "catalogue/CatalogueFile.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Utf8;

class WriterText : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvik-writer-text-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Writes the records and reads the file back; also checks the bytes pass the reader's check.
    OptimizationList RoundTrip(const OptimizationList& records) {
        const std::string path = Utf8(folder_ / "c.xml");
        EXPECT_TRUE(XmlWriter(*xml_, Utf8(folder_)).WriteXMLFile(records, path));
        std::ifstream in(folder_ / "c.xml", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_TRUE(catalogue::IsAcceptableFile(bytes)) << bytes;
        return XmlReader(*xml_, Utf8(folder_)).ReadXML(path);
    }

    static OptimizationItemPtr Record(const std::string& name, const std::string& description,
                                      const std::string& justification) {
        auto item = std::make_shared<OptimizationItem>();
        item->Number = std::to_string(1);
        item->Name = name;
        item->Description = description;
        item->Justification = justification;
        item->Enabled = true;
        return item;
    }

    std::unique_ptr<XmlDocumentFactory> xml_ = NewXmlDocumentFactory();
    fs::path folder_;
};

TEST_F(WriterText, ControlCharactersAreLeftOutAndTheRestOfTheCatalogueSurvives) {
    auto first = Record(std::string("a\x01" "b\x1F" "c\x7F", 7),
                        std::string("before\0after", 12), "why");
    first->cmdItems.push_back(cmdItem{std::string("cmd\0 /c", 7)});
    auto second = Record("second", "plain", "kept");
    const OptimizationList read = RoundTrip({first, second});

    ASSERT_EQ(read.size(), 2u);
    // DEL is a legal XML character; the C0 controls and NUL are not.
    EXPECT_EQ(read[0]->Name, "abc\x7F");
    // A NUL must not cut the text short: the justification lies behind it in the file.
    EXPECT_EQ(read[0]->Description, "beforeafter");
    EXPECT_EQ(read[0]->Justification, "why");
    ASSERT_EQ(read[0]->cmdItems.size(), 1u);
    EXPECT_EQ(read[0]->cmdItems[0].Command, "cmd /c");
    EXPECT_EQ(read[1]->Name, "second");
    EXPECT_EQ(read[1]->Justification, "kept");
    EXPECT_TRUE(read[1]->Enabled);
}

TEST_F(WriterText, MalformedUtf8AndNoncharactersNeverMakeTheFileUnreadable) {
    // A lone continuation byte, a cut sequence, an overlong slash, an encoded surrogate.
    auto item =
        Record("x\x80y\xC3", "d\xC0\xAF" "e\xED\xA0\x80" "f", "\xEF\xBF\xBF" "g\xEF\xBF\xBE");
    RegistryItem reg;
    reg.Key = "HKEY_CURRENT_USER\\Software\\\xF4\x90\x80\x80";
    reg.KeyType = 1;
    reg.Value = "\xE2\x82\xAC ok";
    item->regItems.push_back(reg);
    const OptimizationList read = RoundTrip({item});

    ASSERT_EQ(read.size(), 1u);
// U+FFFD, the replacement character, in UTF-8.
#define FFFD "\xEF\xBF\xBD"
    EXPECT_EQ(read[0]->Name, "x" FFFD "y" FFFD);
    EXPECT_EQ(read[0]->Description, "d" FFFD FFFD "e" FFFD FFFD FFFD "f");
    EXPECT_EQ(read[0]->Justification, "g");
    ASSERT_EQ(read[0]->regItems.size(), 1u);
    EXPECT_EQ(read[0]->regItems[0].Key, "HKEY_CURRENT_USER\\Software\\" FFFD FFFD FFFD FFFD);
#undef FFFD
    EXPECT_EQ(read[0]->regItems[0].Value, "\xE2\x82\xAC ok");  // valid text stays as it was
}

TEST_F(WriterText, LineEndsAndMarkupCharactersComeBackAsXmlReadsThem) {
    const OptimizationList read =
        RoundTrip({Record("<a & b>]]>", "one\r\ntwo\rthree\nfour", " spaced ")});
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->Name, "<a & b>]]>");
    // XML reads every line end as a line feed.
    EXPECT_EQ(read[0]->Description, "one\ntwo\nthree\nfour");
    // The justification's leading blank lies inside the element's text; its trailing one is lost.
    EXPECT_EQ(read[0]->Justification, " spaced");
}

}  // namespace
