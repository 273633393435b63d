// Who may change a file, on descriptors as Windows shows them: what only real Windows can show
// (groups, deny entries, owners that are not the running user) as well as what Wine can.

#include <gtest/gtest.h>

#include "FakeFileSecurity.h"
#include "env/FileTrust.h"

namespace {

using State = trust::Verdict::State;

constexpr const char* kFile = "C:\\Orvik\\OrvikOptimizations.xml";
constexpr const char* kFolder = "C:\\Orvik";
constexpr const char* kAdminsOnly = "O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
constexpr const char* kUser = "S-1-5-21-7-7-7-1001";

TEST(FileTrust, CatalogueAndItsFolder) {
    const struct {
        const char* name;
        const char* file;
        const char* folder;
        State state;
        const char* reason;  // part of it
    } cases[] = {
        {"only administrators", kAdminsOnly, "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
         State::Protected, ""},
        {"world-writable file", "O:BAD:(A;;FA;;;SY)(A;;0x1301ff;;;WD)", kAdminsOnly,
         State::NotProtected, "is not protected: S-1-1-0 may write to it"},
        {"users may only add files to the folder (Windows\\Temp)", kAdminsOnly,
         "O:SYD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;CI;0x100026;;;BU)(A;OICIIO;FA;;;CO)",
         State::Protected, ""},
        {"users may delete files in the folder", kAdminsOnly, "O:BAD:(A;;0x100040;;;BU)",
         State::NotProtected,
         "S-1-5-32-545 may delete or rename the files in its folder C:\\Orvik"},
        {"users may re-permission the folder", kAdminsOnly, "O:BAD:(A;;WD;;;AU)",
         State::NotProtected, "S-1-5-11 may change the permissions of its folder"},
        {"owner is no administrator", "O:S-1-5-21-7-7-7-1001D:(A;;FA;;;SY)(A;;FA;;;BA)",
         kAdminsOnly, State::NotProtected, "S-1-5-21-7-7-7-1001 may change the permissions of it"},
        {"owner restricted by OWNER RIGHTS", "O:S-1-5-21-7-7-7-1001D:(A;;FA;;;BA)(A;;FR;;;OW)",
         kAdminsOnly, State::Protected, ""},
        {"administrator owner with full control (Wine)",
         "O:S-1-5-21-0-0-0-500D:(A;;FA;;;SY)(A;;FA;;;S-1-5-21-0-0-0-500)(A;;0x1200a9;;;WD)",
         kAdminsOnly, State::Protected, ""},
        {"deny before allow", "O:BAD:(D;;FA;;;BU)(A;;FA;;;BU)", kAdminsOnly, State::Protected, ""},
        {"deny for Everyone before allow", "O:BAD:(D;;FW;;;WD)(D;;SDWDWO;;;WD)(A;;FA;;;BU)",
         kAdminsOnly, State::Protected, ""},
        {"allow before deny", "O:BAD:(A;;FA;;;BU)(D;;FA;;;BU)", kAdminsOnly, State::NotProtected,
         "S-1-5-32-545 may write to it"},
        {"generic write", "O:BAD:(A;;GW;;;AU)", kAdminsOnly, State::NotProtected, "may write"},
        {"generic all", "O:BAD:(A;;GA;;;BU)", kAdminsOnly, State::NotProtected, "may write"},
        {"generic read and execute", "O:BAD:(A;;GRGX;;;BU)", kAdminsOnly, State::Protected, ""},
        {"delete only", "O:BAD:(A;;SD;;;BU)", kAdminsOnly, State::NotProtected,
         "may delete or rename it"},
        {"take ownership only", "O:BAD:(A;;WO;;;BU)", kAdminsOnly, State::NotProtected,
         "may take ownership of it"},
        {"for children only", "O:BAD:(A;OICIIO;FA;;;BU)(A;;FA;;;CO)", kAdminsOnly, State::Protected,
         ""},
        {"no access list", "O:BAD:NO_ACCESS_CONTROL", kAdminsOnly, State::NotProtected,
         "Everyone (S-1-1-0) may write to it"},
    };
    for (const auto& c : cases) {
        FakeFileSecurity security;
        security.administrators.insert("S-1-5-21-0-0-0-500");
        security.Set(kFile, c.file);
        security.Set(kFolder, c.folder);
        const trust::Verdict verdict = trust::JudgeFile(security, kFile);
        EXPECT_EQ(verdict.state, c.state) << c.name << ": " << verdict.reason;
        EXPECT_NE(verdict.reason.find(c.reason), std::string::npos)
            << c.name << ": " << verdict.reason;
    }
}

TEST(FileTrust, FoldersAboveOnlyWarnAndWhatCannotBeReadIsUnknown) {
    FakeFileSecurity security;
    security.Set(kFile, kAdminsOnly);
    security.Set(kFolder, "O:BAD:(A;;SD;;;BU)");
    security.Set("C:\\", "O:SYD:(A;;0x100040;;;AU)");
    trust::Verdict verdict = trust::JudgeFile(security, kFile);
    EXPECT_EQ(verdict.state, State::Protected);
    EXPECT_EQ(verdict.warnings, (std::vector<std::string>{
                                    "S-1-5-32-545 may delete or rename the folder C:\\Orvik",
                                    "S-1-5-11 may delete or rename the files in the folder C:\\"}));
    // Named from its own folder, it is judged with the same folders above.
    security.currentFolder = "C:\\Orvik";
    EXPECT_EQ(trust::JudgeFile(security, "OrvikOptimizations.xml").warnings, verdict.warnings);

    security.failures[kFolder] = 5;
    verdict = trust::JudgeFile(security, kFile);
    EXPECT_EQ(verdict.state, State::Unknown);
    EXPECT_EQ(verdict.reason, "the security of C:\\Orvik cannot be read: error 5");
    EXPECT_EQ(trust::JudgeFile(security, "C:\\Orvik\\other.xml").state, State::Missing);
}

TEST(FileTrust, ElevatedProgramsReadOnlyWhatIsProtected) {
    const struct {
        bool elevated;
        const char* file;  // nullptr: missing
        bool refused;
        bool mayRead;
    } cases[] = {
        {true, kAdminsOnly, false, true}, {true, "O:BAD:(A;;FA;;;WD)", true, false},
        {true, nullptr, false, false},    {false, "O:BAD:(A;;FA;;;WD)", false, true},
        {false, nullptr, false, true},
    };
    for (const auto& c : cases) {
        FakeFileSecurity security;
        security.elevated = c.elevated;
        security.Set(kFolder, kAdminsOnly);
        if (c.file) security.Set(kFile, c.file);
        const trust::CatalogueTrust trust = trust::CheckCatalogue(security, kFile);
        EXPECT_EQ(trust.Refused(), c.refused) << c.elevated << " " << (c.file ? c.file : "-");
        EXPECT_EQ(trust.MayRead(), c.mayRead) << c.elevated << " " << (c.file ? c.file : "-");
    }
}

TEST(FileTrust, AdministratorsFolderIsMadeOrJudgedAsItIs) {
    FakeFileSecurity security;
    const std::string journals = "C:\\ProgramData\\Orvik Optimizer\\Journals";
    EXPECT_EQ(trust::PrepareAdministratorsFolder(security, journals).state, State::Protected);
    EXPECT_EQ(trust::PrepareAdministratorsFolder(security, journals).state, State::Protected);
    // Planted beforehand by a user who may add files: refused, not taken over.
    security.Set(journals, std::string("O:") + kUser + "D:(A;OICI;FA;;;" + kUser + ")");
    const trust::Verdict planted = trust::PrepareAdministratorsFolder(security, journals);
    EXPECT_EQ(planted.state, State::NotProtected) << planted.reason;
    security.makeFailure = 5;
    EXPECT_EQ(trust::PrepareAdministratorsFolder(security, "C:\\x").reason,
              "C:\\x could not be made: error 5");
}

TEST(FileTrust, ParentFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a\\b.xml", "C:\\a"}, {"C:\\a", "C:\\"},   {"C:\\", ""},
        {"C:/a/b", "C:/a"},        {"C:\\a\\", "C:\\"}, {"\\\\srv\\share\\x", "\\\\srv\\share"},
        {"\\\\srv\\share", ""},    {"b.xml", ""},
    };
    for (const auto& [path, parent] : cases) EXPECT_EQ(trust::ParentFolder(path), parent) << path;
}

}  // namespace
