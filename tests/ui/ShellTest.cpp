// The real shell services on the real file system and MSXML: the catalogue is replaced in one
// step, a failed write can say why, and the report is made from the catalogue and its stylesheet.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        shell = win32::CreateShell();
        folder = shell->TempFolder() + "\\OrvikShell_" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    void TearDown() override {
        for (const char* name : {"a.xml", "b.xml", "c.xsl", "r.html", "open.xml"}) {
            DeleteFileA((folder + "\\" + name).c_str());
        }
        RemoveDirectoryA(folder.c_str());
        shell.reset();
        CoUninitialize();
    }
    std::string At(const char* name) const { return folder + "\\" + name; }

    std::unique_ptr<Shell> shell;
    std::string folder;
};

}  // namespace

TEST_F(ShellTest, ReplaceFilePutsTheNewFileInPlaceInOneStep) {
    WriteAll(At("a.xml"), "old");
    WriteAll(At("b.xml"), "new");
    EXPECT_TRUE(shell->FileExists(At("a.xml")));
    EXPECT_FALSE(shell->FileExists(folder));  // a folder is no file
    EXPECT_EQ(shell->ReplaceFile(At("b.xml"), At("a.xml")), 0u);
    EXPECT_EQ(ReadAll(At("a.xml")), "new");
    EXPECT_FALSE(shell->FileExists(At("b.xml")));
    // Nothing to put in place: the catalogue stays as it is and the reason is given.
    const uint32_t missing = shell->ReplaceFile(At("b.xml"), At("a.xml"));
    EXPECT_NE(missing, 0u);
    EXPECT_EQ(ReadAll(At("a.xml")), "new");
    EXPECT_FALSE(shell->ErrorText(missing).empty());

    // A catalogue that another program holds open without sharing is not replaced.
    WriteAll(At("b.xml"), "newer");
    HANDLE held = CreateFileA(At("a.xml").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(shell->ReplaceFile(At("b.xml"), At("a.xml")), 0u);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(At("a.xml")), "new");
}

TEST_F(ShellTest, ProbeWriteSaysWhyAFileCannotBeMade) {
    EXPECT_EQ(shell->ProbeWrite(At("a.xml")), 0u);
    EXPECT_FALSE(shell->FileExists(At("a.xml")));  // the probe leaves nothing behind
    const uint32_t code = shell->ProbeWrite(folder + "\\no such folder\\a.xml");
    EXPECT_EQ(code, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(shell->ErrorText(code), "Error 3.");
    EXPECT_EQ(shell->ErrorText(0xDEADBEEF), "Error 3735928559.");
}

TEST_F(ShellTest, TransformMakesTheReportFromTheCatalogueAndItsStylesheet) {
    WriteAll(At("a.xml"),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<Optimizations><Item><Name>Caf\xC3\xA9 &amp; more</Name></Item>"
             "<Item><Name>Second</Name></Item></Optimizations>\n");
    WriteAll(At("c.xsl"),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
             "<xsl:output method=\"html\"/>"
             "<xsl:template match=\"/\"><html><body><xsl:for-each select=\"//Item\">"
             "<p><xsl:value-of select=\"Name\"/></p></xsl:for-each></body></html>"
             "</xsl:template></xsl:stylesheet>\n");
    ASSERT_EQ(shell->TransformToHtml(At("a.xml"), At("c.xsl"), At("r.html")), 0u);
    const std::string html = ReadAll(At("r.html"));
    EXPECT_EQ(html.rfind("\xEF\xBB\xBF", 0), 0u);  // UTF-8, marked as such
    EXPECT_NE(html.find("<p>Caf\xC3\xA9 &amp; more</p>"), std::string::npos) << html;
    EXPECT_NE(html.find("<p>Second</p>"), std::string::npos);

    // A broken catalogue or a missing stylesheet gives a failure, never an empty report.
    WriteAll(At("b.xml"), "<Optimizations><Item>");
    EXPECT_NE(shell->TransformToHtml(At("b.xml"), At("c.xsl"), At("open.xml")), 0u);
    EXPECT_NE(shell->TransformToHtml(At("a.xml"), At("missing.xsl"), At("open.xml")), 0u);
    EXPECT_FALSE(shell->FileExists(At("open.xml")));
}

TEST_F(ShellTest, StartProcessReportsAProgramThatIsNotThere) {
    EXPECT_NE(shell->StartProcess("\"" + folder + "\\nothing.exe\" x"), 0u);
    EXPECT_NE(shell->OpenDocument(At("nothing.xml")), 0u);
}
