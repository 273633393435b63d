// The real OrvikCli.exe's export and import, judged by Windows' own tools: a regedit file that
// regedit /s imports gives what apply writes, a key that reg export wrote comes back through
// import and apply, and the local policy's files land in System32 itself.

#include <gtest/gtest.h>

#include <fstream>

#include "Harness.h"
#include "JsonReader.h"

namespace {

using namespace harness;

class Fleet : public ::testing::Test {
protected:
    std::pair<int64_t, std::string> Run(const fs::path& program, const std::string& arguments) {
        const Ran ran = RunToEnd(program, arguments);
        return {ran.code, ran.out + ran.err};
    }
    std::string Export(const std::string& file = "export.reg") { return key.Export(folder / file); }
    void Fresh() {
        key.Clear();
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.Path().c_str(), L"Gone", REG_SZ, L"x", 4),
                  0);
    }

    Scratch folder{"fleet"};
    ScratchKey key{"fleet"};
    const fs::path cli = folder.CopyOrvikCli();
};

}  // namespace

TEST_F(Fleet, RegeditImportsTheExportedFileAsApplyWritesTheValues) {
    const std::string k = key.Name();
    const std::string entries =
        RegistryEntry(k, "S", "STRING", "quote \" and \\ x") +
        RegistryEntry(k, "Pct", "STRING", "%TEMP%\\x") +
        RegistryEntry(k, "E", "EXPANDSTRING", "no pair") +
        RegistryEntry(k, "M", "MULTISTRING", "one\ntwo") + RegistryEntry(k, "D", "DWORD", "-1") +
        RegistryEntry(k, "Q", "QWORD", "&amp;H0102030405060708") +
        RegistryEntry(k, "B", "BINARY", std::string(200, 'a')) +
        RegistryEntry(k, "", "STRING", "default") + RegistryEntry(k, "Gone", "STRING", "") +
        RegistryEntry(k + "\\Sub", "Deep", "DWORD", "7");
    const std::string command = Tag("CommandLines", Tag("CommandLine", Tag("Command", "cmd.exe")));
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(EnabledItem(entries, Tag("Number", "1") + command)));
    Fresh();
    const auto exported =
        Run(cli, "export --format reg --out \"" + Utf8(folder / "out.reg") + "\" --json");
    ASSERT_EQ(exported.first, 0) << exported.second;
    EXPECT_NE(exported.second.find("left out of entry 1: command cmd.exe"), std::string::npos)
        << exported.second;
    const json::Value report =
        json::Parse(exported.second.substr(0, exported.second.rfind('}') + 1));
    EXPECT_EQ(report["leftOut"][0]["kind"].text, "command");
    EXPECT_EQ(folder.Read("out.reg").substr(0, 4), std::string("\xFF\xFEW\0", 4));
    ASSERT_EQ(Run("regedit.exe", "/s \"" + Utf8(folder / "out.reg") + "\"").first, 0);
    const std::string imported = Export();
    Fresh();
    ASSERT_EQ(Run(cli, "apply").first, 0);
    EXPECT_EQ(Export(), imported);
    EXPECT_EQ(key.Read("", "Gone"), std::nullopt);
}

TEST_F(Fleet, AKeyThatRegExportWroteComesBackThroughImportAndApply) {
    const auto set = [&](const std::wstring& sub, const wchar_t* name, DWORD type, const void* data,
                         DWORD size) {
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, (key.Path() + sub).c_str(), name, type, data, size),
            0);
    };
    const uint8_t qword[8] = {1, 2, 3, 4, 5, 6, 7, 0x88}, binary[3] = {1, 2, 3};
    const DWORD minus = 0xFFFFFFFF;
    set(L"", L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);
    set(L"", L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    set(L"", L"Qword", REG_QWORD, qword, 8);
    set(L"", L"Binary", REG_BINARY, binary, 3);
    set(L"", L"Dword", REG_DWORD, &minus, 4);
    set(L"\\Sub", L"", REG_SZ, L"d\u00e9j\u00e0", 10);
    const std::string before = Export("before.reg");
    const auto imported = Run(cli, "import \"" + Utf8(folder / "before.reg") + "\" --out \"" +
                                       Utf8(folder / "OrvikOptimizations.xml") + "\"");
    ASSERT_EQ(imported.first, 0) << imported.second;
    std::string catalogue = folder.Read("OrvikOptimizations.xml");
    EXPECT_NE(catalogue.find("<Description>Imported from before.reg."), std::string::npos)
        << catalogue;
    for (size_t at = 0; (at = catalogue.find("<Enabled>False")) != std::string::npos;) {
        catalogue.replace(at, 14, "<Enabled>True");
    }
    folder.Write("OrvikOptimizations.xml", catalogue);
    key.Clear();
    ASSERT_EQ(Run(cli, "apply").first, 0);
    EXPECT_EQ(Export(), before);
    // Not overwritten without --force; a file that is no regedit file writes nothing.
    EXPECT_EQ(Run(cli, "import \"" + Utf8(folder / "before.reg") + "\" --out \"" +
                           Utf8(folder / "OrvikOptimizations.xml") + "\"")
                  .first,
              64);
    folder.Write("bad.reg", "REGEDIT4\r\n[HKEY_CURRENT_USER\\x\r\n");
    const auto bad = Run(cli, "import \"" + Utf8(folder / "bad.reg") + "\" --out \"" +
                                  Utf8(folder / "new.xml") + "\"");
    EXPECT_EQ(bad.first, 2);
    EXPECT_NE(bad.second.find("line 2: the key has no closing bracket"), std::string::npos)
        << bad.second;
    EXPECT_FALSE(folder.Exists("new.xml"));
}

TEST_F(Fleet, TheLocalPolicyLandsInSystem32WithItsVersionRaised) {
    // A 32-bit test sees System32 itself as Sysnative; its System32 is SysWOW64.
    const fs::path policy =
        kWow64 ? "C:\\windows\\Sysnative\\GroupPolicy" : "C:\\windows\\system32\\GroupPolicy";
    fs::remove_all(policy);
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(EnabledItem(
            RegistryEntry("HKEY_LOCAL_MACHINE\\Software\\Policies\\Orvik", "A", "DWORD", "1") +
                RegistryEntry(key.Name(), "B", "STRING", ""),
            Tag("Number", "1"))));
    const auto first = Run(cli, "export --format pol --local-policy");
    ASSERT_EQ(first.first, 0) << first.second;
    EXPECT_NE(first.second.find("is outside the policy keys"), std::string::npos);
    const auto size = fs::file_size(policy / "Machine" / "Registry.pol");
    ASSERT_EQ(Run(cli, "export --format pol --local-policy --quiet").first, 0);
    std::string text;
    {
        std::ifstream ini(policy / "gpt.ini");
        text.assign(std::istreambuf_iterator<char>(ini), {});
    }
    EXPECT_NE(text.find("Version=131074"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(policy / "Machine" / "Registry.pol"));
    EXPECT_TRUE(fs::exists(policy / "User" / "Registry.pol"));
    EXPECT_EQ(fs::exists("C:\\windows\\system32\\GroupPolicy\\Machine"), !kWow64)
        << "nothing in SysWOW64";
    EXPECT_EQ(fs::file_size(policy / "Machine" / "Registry.pol"), size) << "ours replaced ours";
    fs::remove_all(policy);
}
