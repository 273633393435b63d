// The report Export makes from the catalogue and its stylesheet where there is no Internet
// Explorer, on the real MSXML. Save's use of the shell is driven through the whole program.

#include <gtest/gtest.h>

#include "Harness.h"
#include "TestSupport.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

using namespace harness;

class ShellTest : public ::testing::Test {
protected:
    std::string At(const char* name) const { return Utf8(folder / name); }
    std::unique_ptr<Shell> shell = win32::CreateShell();
    Scratch folder{"shell"};
};

}  // namespace

TEST_F(ShellTest, TransformMakesTheReportFromTheCatalogueAndItsStylesheet) {
    folder.Write("a.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations><Item>"
                          "<Name>Caf\xC3\xA9 &amp; more</Name></Item></Optimizations>\n");
    folder.Write("c.xsl",
                 "<xsl:stylesheet version=\"1.0\" "
                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                 "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body>"
                 "<xsl:for-each select=\"//Item\"><p><xsl:value-of select=\"Name\"/></p>"
                 "</xsl:for-each></body></html></xsl:template></xsl:stylesheet>\n");
    ASSERT_EQ(shell->TransformToHtml(At("a.xml"), At("c.xsl"), At("r.html")), 0u);
    const std::string html = folder.Read("r.html");
    EXPECT_TRUE(html.starts_with("\xEF\xBB\xBF"));  // UTF-8, marked as such
    EXPECT_NE(html.find("<p>Caf\xC3\xA9 &amp; more</p>"), std::string::npos) << html;

    // A broken catalogue or a missing stylesheet gives a failure, never an empty report.
    folder.Write("b.xml", "<Optimizations><Item>");
    EXPECT_NE(shell->TransformToHtml(At("b.xml"), At("c.xsl"), At("x.html")), 0u);
    EXPECT_NE(shell->TransformToHtml(At("a.xml"), At("missing.xsl"), At("x.html")), 0u);
    EXPECT_FALSE(folder.Exists("x.html"));
}
