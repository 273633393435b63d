// The report that Export makes and the console program writes, on the real MSXML, from the
// shipped stylesheet: which file it blames when it cannot make one. Export itself is driven
// through the whole program, and the page's content is checked in a browser.

#include <gtest/gtest.h>

#include "Harness.h"
#include "TestSupport.h"
#include "platform/win32/report/Win32ReportRenderer.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

using namespace harness;

class ShellTest : public ::testing::Test {
protected:
    std::string At(const char* name) const { return Utf8(folder / name); }
    std::unique_ptr<ReportRenderer> renderer = win32::CreateReportRenderer();
    Scratch folder{"shell"};
    const std::string stylesheet = Utf8(FromBuild(ORVIK_DATA_DIR "/OrvikOptimizations.xsl"));
};

}  // namespace

TEST_F(ShellTest, ReportNamesTheFileItCouldNotUse) {
    folder.Write("good.xml", Catalogue(""));
    folder.Write("broken.xml", "<Optimizations><Item>");
    folder.Write("plain.xsl", "<Optimizations/>");  // well-formed, but no stylesheet
    const struct {
        std::string catalogue, stylesheet, blamed;
    } cases[] = {{At("missing.xml"), stylesheet, At("missing.xml")},
                 {At("broken.xml"), stylesheet, At("broken.xml")},
                 {At("good.xml"), At("missing.xsl"), At("missing.xsl")},
                 {At("good.xml"), At("broken.xml"), At("broken.xml")},
                 {At("good.xml"), At("plain.xsl"), At("plain.xsl")}};
    for (const auto& c : cases) {
        const RenderedReport report = renderer->RenderReport(c.catalogue, c.stylesheet);
        EXPECT_EQ(report.failedFile, c.blamed) << c.catalogue << " " << c.stylesheet;
        EXPECT_FALSE(report.reason.empty()) << c.blamed;
        EXPECT_TRUE(report.html.empty()) << c.blamed;
    }
}
