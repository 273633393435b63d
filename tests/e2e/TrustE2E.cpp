// The real programs, elevated as every Wine process is: a catalogue that others may change is
// refused, and no library planted beside them is loaded.

#include <gtest/gtest.h>

#include "Harness.h"
#include "JsonReader.h"

namespace {

using namespace harness;

int64_t Finish(Process& process) { return process.Wait().value_or(-1); }

TEST(Trust, ACatalogueOthersMayChangeIsRefusedUnlessTrustedForOneRun) {
    Scratch folder{"trust"};
    ScratchKey key{"trust"};
    const fs::path orvik = folder.CopyOrvik();
    const fs::path cli = folder.CopyOrvikCli();
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Tag("Item", Tag("OSVersion", "All") + Tag("Enabled", "True") +
                                           Tag("RegistryEntries",
                                               RegistryEntry(key.Name(), "v", "DWORD", "1")))));
    SetAccess(folder / "OrvikOptimizations.xml", L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)");

    Process run(orvik, "-RUN");
    EXPECT_EQ(Finish(run), 2);
    EXPECT_FALSE(key.Exists());
    const std::vector<std::string> log = LogLines(folder.Folder());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(" Error 5, Source = Orvik: The catalogue " +
                          Utf8(folder / "OrvikOptimizations.xml") +
                          " is not protected: Everyone (S-1-1-0) may write to it. Trace: "
                          "nothing was applied"),
              std::string::npos)
        << log[0];

    Process refused(cli, "apply --json");
    EXPECT_EQ(Finish(refused), 2);
    const json::Value report = json::Parse(refused.Out());
    EXPECT_EQ(report["problems"][0]["code"].text, "catalogue-not-protected");
    EXPECT_EQ(report["problems"][0]["severity"].text, "error");
    EXPECT_FALSE(key.Exists());

    Process trusted(cli, "apply --trust-catalogue --json");
    EXPECT_EQ(Finish(trusted), 0) << trusted.Out();
    EXPECT_TRUE(json::Parse(trusted.Out())["trustCatalogue"].boolean);
    EXPECT_EQ(key.Dword("", "v"), 1);

    // A folder above that others may rename is warned of however the catalogue is named: by its
    // full path, or by its name from its own folder.
    fs::create_directory(folder / "sub");
    folder.Write("sub\\cat.xml", Catalogue(""));
    SetAccess(folder.Folder(), L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)");
    const auto warned = [&](const std::string& named, const fs::path& from) {
        Process validated(cli, "validate --json --catalogue \"" + named + "\"", from);
        Finish(validated);
        const json::Value report = json::Parse(validated.Out());
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

// A journal is an instruction too: undo refuses one that Everyone may write, apply one in a
// folder where Everyone may replace it, each unless trusted for the run; the journal that apply
// makes itself is protected.
TEST(Trust, AJournalOthersMayChangeIsRefusedUnlessTrustedForOneRun) {
    Scratch folder{"trust-journal"};
    ScratchKey key{"trust-journal"};
    const fs::path cli = folder.CopyOrvikCli();
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Tag("Item", Tag("OSVersion", "All") + Tag("Enabled", "True") +
                                           Tag("RegistryEntries",
                                               RegistryEntry(key.Name(), "v", "DWORD", "1")))));
    const std::string journal = " \"" + Utf8(folder / "run.journal") + "\" --json";
    Process applied(cli, "apply --journal" + journal);
    EXPECT_EQ(Finish(applied), 0) << applied.Out();
    EXPECT_EQ(json::Codes(json::Parse(applied.Out())).find("journal"), std::string::npos);
    ASSERT_EQ(key.Dword("", "v"), 1);

    SetAccess(folder / "run.journal", L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)");
    Process refused(cli, "undo" + journal);
    EXPECT_EQ(Finish(refused), 2);
    EXPECT_NE(json::Codes(json::Parse(refused.Out())).find("journal-not-protected! "),
              std::string::npos);
    EXPECT_EQ(key.Dword("", "v"), 1) << "nothing undone";
    Process trusted(cli, "undo --trust-journal" + journal);
    EXPECT_EQ(Finish(trusted), 0) << trusted.Out();
    EXPECT_NE(json::Codes(json::Parse(trusted.Out())).find("journal-not-protected "),
              std::string::npos);
    EXPECT_FALSE(key.Exists());

    fs::create_directory(folder / "open");
    SetAccess(folder / "open", L"D:(A;OICI;FA;;;WD)");
    Process open(cli, "apply --journal \"" + Utf8(folder / "open" / "run.journal") + "\" --json");
    EXPECT_EQ(Finish(open), 2);
    EXPECT_NE(json::Codes(json::Parse(open.Out())).find("journal-not-protected! "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "open" / "run.journal"));
    EXPECT_FALSE(key.Exists()) << "nothing applied";
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
    explicit NativeFirst(const std::wstring& program) : key_(kAppDefaults + program) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
        for (const std::string name : kLoadedByName) {
            const std::wstring base(name.begin(), name.begin() + name.find('.'));
            RegSetValueExW(key, base.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder),
                           sizeof(kOrder));
        }
        RegCloseKey(key);
    }
    ~NativeFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;

private:
    static constexpr const wchar_t* kAppDefaults = L"Software\\Wine\\AppDefaults\\";
    static constexpr wchar_t kOrder[] = L"native,builtin";
    std::wstring key_;
};

TEST(Trust, LibrariesPlantedBesideTheProgramsAreNeverLoaded) {
    Scratch folder{"planted"};
    ScratchKey key{"planted"};
    const fs::path orvik = folder.CopyOrvik();
    const fs::path cli = folder.CopyOrvikCli();
    const fs::path loader = folder / "LoadByName.exe";
    fs::copy_file(FromBuild(ORVIK_LOAD_BY_NAME_PATH), loader);
    fs::copy_file(FromBuild(ORVIK_STYLESHEET_PATH), folder / "OrvikOptimizations.xsl");
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(
            Tag("Item", Tag("OSVersion", "All") + Tag("Enabled", "True") +
                            Tag("RegistryEntries", RegistryEntry(key.Name(), "v", "DWORD", "1")) +
                            Tag("WMIQueries", Tag("WMIQuery", Tag("Command",
                                                                  "SELECT * FROM Win32_Service "
                                                                  "WHERE Name='none'") +
                                                                  Tag("WarningLevel", "1"))))));
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
        Process plain(loader, name);
        EXPECT_EQ(Finish(plain), 0) << name;
        EXPECT_TRUE(planted(name)) << name;
        Process restricted(loader, "--restricted " + name);
        Finish(restricted);
        EXPECT_FALSE(planted(name)) << name;
        if (!ReachedByThePrograms(name)) fs::remove(folder / name);
    }

    Process run(orvik, "-RUN");
    EXPECT_EQ(Finish(run), 0);
    EXPECT_EQ(key.Dword("", "v"), 1);
    for (const char* command : {"validate", "plan", "apply", "report"}) {
        Process console(cli, command);
        EXPECT_EQ(Finish(console), 0) << command << ": " << console.Err();
    }
    for (const std::string name : kLoadedByName) EXPECT_FALSE(planted(name)) << name;
}

}  // namespace
