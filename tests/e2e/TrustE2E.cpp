// The real programs, elevated as every Wine process is: a catalogue that others may change is
// refused, and no library planted beside them is loaded.

#include <gtest/gtest.h>

#include "Harness.h"
#include "Holds.h"
#include "JsonReader.h"

namespace {

using namespace harness;
using testsupport::Holds;

// Everyone may change it.
constexpr const wchar_t* kOpen = L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)";

class Trust : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("OrvikOptimizations.xml",
                     Catalogue(EnabledItem(RegistryEntry(key.Name(), "v", "DWORD", "1"))));
    }

    Scratch folder{"trust"};
    ScratchKey key{"trust"};
    const fs::path cli = folder.CopyOrvikCli();
};

TEST_F(Trust, ACatalogueOthersMayChangeIsRefusedUnlessTrustedForOneRun) {
    SetAccess(folder / "OrvikOptimizations.xml", kOpen);
    EXPECT_EQ(RunToEnd(folder.CopyOrvik(), "-RUN").code, 2);
    EXPECT_FALSE(key.Exists());
    const std::vector<std::string> log = LogLines(folder.Folder());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(" Error 5, Source = Orvik: The catalogue " +
                          Utf8(folder / "OrvikOptimizations.xml") +
                          " is not protected: Everyone (S-1-1-0) may write to it. Trace: "
                          "nothing was applied"),
              std::string::npos)
        << log[0];

    const Ran refused = RunToEnd(cli, "apply --json");
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Holds(json::Codes(json::Parse(refused.out)), "catalogue-not-protected! "));
    EXPECT_FALSE(key.Exists());
    const Ran trusted = RunToEnd(cli, "apply --trust-catalogue --json");
    EXPECT_EQ(trusted.code, 0) << trusted.out;
    EXPECT_TRUE(json::Parse(trusted.out)["trustCatalogue"].boolean);
    EXPECT_EQ(key.Dword("", "v"), 1);

    // A folder above that others may rename is warned of however the catalogue is named: by its
    // full path, or by its name from its own folder.
    fs::create_directory(folder / "sub");
    folder.Write("sub\\cat.xml", Catalogue(""));
    SetAccess(folder.Folder(), kOpen);
    const auto warned = [&](const std::string& named, const fs::path& from) {
        const json::Value report =
            json::Parse(RunToEnd(cli, "validate --json --catalogue \"" + named + "\"", from).out);
        std::string messages;
        for (const json::Value& problem : report["problems"].items) {
            if (problem["code"].text == "folder-not-protected") messages += problem["message"].text;
        }
        return messages;
    };
    const std::string full = warned(Utf8(folder / "sub" / "cat.xml"), {});
    EXPECT_NE(full.find(Utf8(folder.Folder())), std::string::npos) << full;
    EXPECT_EQ(warned("cat.xml", folder / "sub"), full);
}

// Libraries the programs load dynamically and their imports that are no KnownDLL (found with
// WINEDEBUG=+loaddll): native first, Wine looks for them as Windows does for such a library.
constexpr const char* kLoadedByName[] = {
    "msxml3.dll",   "msxml6.dll",   "wbemprox.dll", "netapi32.dll", "uxtheme.dll",
    "version.dll",  "urlmon.dll",   "wininet.dll",  "mpr.dll",      "dnsapi.dll",
    "iphlpapi.dll", "comctl32.dll", "bcrypt.dll"};

// What the programs reach themselves: MSXML 6 and WMI through COM, netapi32 for the members of
// Administrators, bcrypt for the catalogue's SHA-256. The others are imports of Wine's own
// builtin libraries (comctl32, advapi32, msxml6), which Wine's loader resolves from beside any
// program whatever it restricts (measured); on Windows they are KnownDLLs' dependencies,
// side-by-side (comctl32) or found beside the system library that imports them.
bool ReachedByThePrograms(const std::string& name) {
    return name == "msxml6.dll" || name == "wbemprox.dll" || name == "netapi32.dll" ||
           name == "bcrypt.dll";
}

// Wine's overrides for one program, native first for the names planted (WINEDLLOVERRIDES is
// read from the Unix environment only); removed again when it goes.
class NativeFirst {
public:
    explicit NativeFirst(const std::wstring& program)
        : key_(L"Software\\Wine\\AppDefaults\\" + program) {
        static constexpr wchar_t kOrder[] = L"native,builtin";
        for (const std::string name : kLoadedByName) {
            const std::wstring base(name.begin(), name.begin() + name.find('.'));
            RegSetKeyValueW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), base.c_str(),
                            REG_SZ, kOrder, sizeof(kOrder));
        }
    }
    ~NativeFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;

private:
    std::wstring key_;
};

TEST_F(Trust, LibrariesPlantedBesideTheProgramsAreNeverLoaded) {
    const fs::path orvik = folder.CopyOrvik();
    const fs::path loader = folder / "LoadByName.exe";
    fs::copy_file(FromBuild(ORVIK_LOAD_BY_NAME_PATH), loader);
    fs::copy_file(FromBuild(ORVIK_STYLESHEET_PATH), folder / "OrvikOptimizations.xsl");
    const std::string query = "SELECT * FROM Win32_Service WHERE Name='none'";
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(EnabledItem(
            RegistryEntry(key.Name(), "v", "DWORD", "1"),
            Tag("WMIQueries", Tag("WMIQuery", Tag("Command", query) + Tag("WarningLevel", "1"))))));
    const auto planted = [&](const std::string& name) {
        const bool loaded = folder.Exists(name + ".loaded");
        fs::remove(folder / (name + ".loaded"));
        return loaded;
    };
    const NativeFirst overrides[] = {NativeFirst(L"LoadByName.exe"), NativeFirst(L"Orvik.exe"),
                                     NativeFirst(L"OrvikCli.exe")};
    for (const std::string name : kLoadedByName) {
        fs::copy_file(FromBuild(ORVIK_PLANTED_PATH), folder / name);
        // The control: a program that restricts nothing loads the planted copy, the restriction
        // the programs make at start keeps it out.
        EXPECT_EQ(RunToEnd(loader, name).code, 0) << name;
        EXPECT_TRUE(planted(name)) << name;
        RunToEnd(loader, "--restricted " + name);
        EXPECT_FALSE(planted(name)) << name;
        if (!ReachedByThePrograms(name)) fs::remove(folder / name);
    }

    EXPECT_EQ(RunToEnd(orvik, "-RUN").code, 0);
    EXPECT_EQ(key.Dword("", "v"), 1);
    for (const char* command : {"validate", "plan", "apply", "report"}) {
        const Ran console = RunToEnd(cli, command);
        EXPECT_EQ(console.code, 0) << command << ": " << console.err;
    }
    for (const std::string name : kLoadedByName) EXPECT_FALSE(planted(name)) << name;
}

}  // namespace
