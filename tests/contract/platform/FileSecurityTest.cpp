// The real security queries on files of a scratch folder, judged as the programs judge the
// catalogue. Wine makes a file's descriptor from its Unix mode (SYSTEM and the owner, which is
// the running user, full control; Everyone what "others" may do) and keeps no other entries, so
// it shows the running administrator's own files, world-writable files and folders, and missing
// ones; groups, deny entries and foreign owners only real Windows shows (the unit test's cases).

#include <gtest/gtest.h>

#include "Harness.h"
#include "env/FileTrust.h"
#include "platform/win32/security/Win32FileSecurity.h"

namespace {

using namespace harness;
using State = trust::Verdict::State;

class FileSecurityTest : public ::testing::Test {
protected:
    trust::Verdict Judge() { return trust::JudgeFile(security, Utf8(folder / "cat.xml")); }

    win32::Win32FileSecurity security;
    Scratch folder{"security"};
};

TEST_F(FileSecurityTest, TheRunningAdministratorsOwnFileIsProtected) {
    EXPECT_EQ(Judge().state, State::Missing);
    folder.Write("cat.xml", "<Optimizations/>");
    const trust::Verdict verdict = Judge();
    EXPECT_EQ(verdict.state, State::Protected) << verdict.reason;

    ObjectSecurity file;
    ASSERT_EQ(security.Query(Utf8(folder / "cat.xml"), file), 0u);
    EXPECT_TRUE(file.ownerSid.starts_with("S-1-5-")) << file.ownerSid;
    EXPECT_TRUE(security.IsAdministrator(file.ownerSid)) << file.ownerSid;
    EXPECT_FALSE(security.IsAdministrator("S-1-5-32-545"));
    EXPECT_FALSE(security.IsAdministrator("S-1-5-21-1-2-3-1001"));
    // Wine's token is an administrator's full one (measured: TokenElevationTypeFull).
    EXPECT_TRUE(security.IsElevated());

    // However the file is named, it is judged by its full path.
    const fs::path was = fs::current_path();
    fs::current_path(folder.Folder());
    const std::string full = Utf8(folder / "cat.xml");
    for (const std::string& named :
         std::vector<std::string>{"cat.xml", ".\\sub\\..\\cat.xml", full}) {
        EXPECT_EQ(security.FullPath(named), full) << named;
    }
    EXPECT_EQ(security.FullPath("C:/a/b"), "C:\\a\\b");
    EXPECT_EQ(trust::JudgeFile(security, "cat.xml").warnings, verdict.warnings);
    fs::current_path(was);
    EXPECT_EQ(security.FullPath(std::string(300, 'x')).size(), Utf8(was).size() + 301);
}

TEST_F(FileSecurityTest, WorldWritableFileOrFolderIsNot) {
    folder.Write("cat.xml", "<Optimizations/>");
    SetAccess(folder / "cat.xml", L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)");
    trust::Verdict verdict = Judge();
    EXPECT_EQ(verdict.state, State::NotProtected);
    EXPECT_NE(verdict.reason.find("cat.xml is not protected: Everyone (S-1-1-0) may write to it"),
              std::string::npos)
        << verdict.reason;

    // A file given the administrators' list (a new journal) takes Everyone's rights away.
    EXPECT_EQ(security.ProtectFile(Utf8(folder / "cat.xml")), 0u);
    EXPECT_EQ(Judge().state, State::Protected) << Judge().reason;
    EXPECT_NE(security.ProtectFile(Utf8(folder / "none.xml")), 0u);
    SetAccess(folder / "cat.xml", L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;WD)");
    EXPECT_EQ(Judge().state, State::Protected) << Judge().reason;
    SetAccess(folder.Folder(), L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)");
    verdict = Judge();
    EXPECT_EQ(verdict.state, State::NotProtected);
    EXPECT_NE(verdict.reason.find("may delete or rename the files in its folder"),
              std::string::npos)
        << verdict.reason;
}

TEST_F(FileSecurityTest, AdministratorsFolderIsMadeOnceAndProtected) {
    const std::string journals = Utf8(folder / "Journals");
    const trust::Verdict made = trust::PrepareAdministratorsFolder(security, journals);
    EXPECT_EQ(made.state, State::Protected) << made.reason;
    EXPECT_TRUE(fs::is_directory(folder / "Journals"));
    EXPECT_EQ(security.MakeAdministratorsFolder(journals), 183u);
    EXPECT_EQ(trust::JudgeFolder(security, journals).state, State::Protected);

    SetAccess(folder / "Journals", L"D:(A;OICI;FA;;;WD)");
    EXPECT_EQ(trust::PrepareAdministratorsFolder(security, journals).state, State::NotProtected);
}

}  // namespace
