#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/common/CatalogueGenerator.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

#ifdef _WIN32
#include "platform/win32/app/Win32Startup.h"
#endif

namespace {

#ifdef _WIN32
// MSXML needs COM on the test thread, as the program sets it up at start.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { com_ = std::make_unique<win32::ComApartment>(); }
    void TearDown() override { com_.reset(); }

private:
    std::unique_ptr<win32::ComApartment> com_;
};
const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);
#endif

class GeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvik-bench-test-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        xml_ = NewXmlDocumentFactory();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const char* name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;
    std::unique_ptr<XmlDocumentFactory> xml_;
};

void ExpectSameRecords(const OptimizationList& expected, const OptimizationList& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const OptimizationItem& e = *expected[i];
        const OptimizationItem& a = *actual[i];
        SCOPED_TRACE("item " + e.Number);
        EXPECT_EQ(e.Number, a.Number);
        EXPECT_EQ(e.Name, a.Name);
        EXPECT_EQ(e.Description, a.Description);
        EXPECT_EQ(e.Justification, a.Justification);
        EXPECT_EQ(e.osVersions, a.osVersions);
        EXPECT_EQ(e.Enabled, a.Enabled);
        EXPECT_EQ(e.mode, a.mode);
        EXPECT_EQ(e.Impact, a.Impact);
        EXPECT_EQ(e.Category, a.Category);
        ASSERT_EQ(e.regItems.size(), a.regItems.size());
        for (size_t k = 0; k < e.regItems.size(); ++k) {
            EXPECT_EQ(e.regItems[k].Key, a.regItems[k].Key);
            EXPECT_EQ(e.regItems[k].ValueName, a.regItems[k].ValueName);
            EXPECT_EQ(e.regItems[k].KeyType, a.regItems[k].KeyType);
            EXPECT_EQ(e.regItems[k].Value, a.regItems[k].Value);
        }
        ASSERT_EQ(e.cmdItems.size(), a.cmdItems.size());
        for (size_t k = 0; k < e.cmdItems.size(); ++k)
            EXPECT_EQ(e.cmdItems[k].Command, a.cmdItems[k].Command);
        ASSERT_EQ(e.wmiItems.size(), a.wmiItems.size());
        for (size_t k = 0; k < e.wmiItems.size(); ++k) {
            EXPECT_EQ(e.wmiItems[k].Command, a.wmiItems[k].Command);
            EXPECT_EQ(e.wmiItems[k].WarningLevel, a.wmiItems[k].WarningLevel);
        }
    }
}

TEST_F(GeneratorTest, MakesTheSameMixOfActionsOnEveryRun) {
    const OptimizationList first = bench::MakeCatalogue(35);
    ASSERT_EQ(first.size(), 35u);
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i]->Number, std::to_string(i + 1));
        EXPECT_EQ(first[i]->regItems.size(), 2u);
        EXPECT_EQ(first[i]->cmdItems.size(), 1u);
        EXPECT_EQ(first[i]->wmiItems.size(), 1u);
    }
    // Same records, same file: the benchmarks compare runs of one program with another's.
    EXPECT_EQ(bench::CatalogueText(first), bench::CatalogueText(bench::MakeCatalogue(35)));
    EXPECT_TRUE(bench::MakeCatalogue(0).empty());
}

TEST_F(GeneratorTest, FileReadsBackAsTheRecordsItWasMadeFrom) {
    // 70 items reach every variation: text outside ASCII, two versions, the 9999 level.
    const OptimizationList items = bench::MakeCatalogue(70);
    const std::string text = bench::CatalogueText(items);
    EXPECT_NE(text.find("&amp;&amp;"), std::string::npos);  // markup characters are escaped
    ASSERT_TRUE(bench::WriteFile(PathOf("generated.xml"), text));

    XmlReader reader(*xml_, folder_.string());
    ExpectSameRecords(items, reader.ReadXML(PathOf("generated.xml")));
}

TEST_F(GeneratorTest, WriterSavesExactlyTheGeneratedBytes) {
    // The write benchmark's baseline builds the document the generator lays out; that is only
    // a fair comparison while the writer saves those very bytes.
    const OptimizationList items = bench::MakeCatalogue(30);
    XmlWriter writer(*xml_, folder_.string());
    ASSERT_TRUE(writer.WriteXMLFile(items, PathOf("written.xml")));
    EXPECT_EQ(bench::ReadFile(PathOf("written.xml")), bench::CatalogueText(items));

    ASSERT_TRUE(writer.WriteXMLFile({}, PathOf("empty.xml")));
    EXPECT_EQ(bench::ReadFile(PathOf("empty.xml")), bench::CatalogueText({}));
}

TEST_F(GeneratorTest, FileHelpersKeepBytesAndReportFailure) {
    const std::string bytes("a\0b\r\n\xC3\xA9", 7);
    ASSERT_TRUE(bench::WriteFile(PathOf("bytes.bin"), bytes));
    EXPECT_EQ(bench::ReadFile(PathOf("bytes.bin")), bytes);
    EXPECT_FALSE(bench::WriteFile(PathOf("no-such-folder/x.xml"), bytes));
    EXPECT_EQ(bench::ReadFile(PathOf("missing.xml")), "");
}

}  // namespace
