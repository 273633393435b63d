// The real OrvikCli.exe beside a copy of Orvik.exe in a scratch folder: its exit codes, its JSON
// read as a script reads it, a plan that leaves the registry and the folder as they were, an
// apply that leaves them as Orvik.exe -RUN does, an undo that puts them back, and the default
// profile's hive written while it is loaded.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

#include "Harness.h"
#include "Holds.h"
#include "JsonReader.h"
#include "OrvikVersion.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/Win32RunLock.h"

namespace {

using namespace harness;
using json::Outcomes;
using testsupport::Holds;

// An enabled entry for every Windows: its Number, then its registry entries and the rest.
std::string Item(const std::string& number, const std::string& entries,
                 const std::string& rest = "") {
    return EnabledItem(entries, Tag("Number", number) + rest);
}

// RegSaveKey and RegLoadKey need these, in the test as in the program.
bool EnableHivePrivileges() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    bool enabled = true;
    for (const wchar_t* privilege : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES one{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        enabled = enabled && LookupPrivilegeValueW(nullptr, privilege, &one.Privileges[0].Luid) &&
                  AdjustTokenPrivileges(token, FALSE, &one, 0, nullptr, nullptr) &&
                  GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return enabled;
}

class Console : public ::testing::Test {
protected:
    json::Value Json(const std::string& arguments, int64_t exitCode) {
        const Ran result = RunToEnd(cli, arguments + " --json");
        EXPECT_EQ(result.code, exitCode) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        const json::Value report = json::Parse(result.out);
        EXPECT_EQ(report["summary"]["exitCode"].Int(), exitCode);
        return report;
    }
    void Put(const std::wstring& subKey, const wchar_t* name, DWORD type, const void* data,
             size_t size) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, subKey.c_str(), name, type, data,
                                  static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    std::string Export() { return key.Export(folder / "export.reg"); }

    // A hive file beside the program, made with RegSaveKey, holding one text value Kept below it.
    std::string SavedHive(const std::wstring& below, const wchar_t* kept, size_t size) {
        EXPECT_TRUE(EnableHivePrivileges());
        ScratchKey source{"hive"};
        Put(source.Path() + below, L"Kept", REG_SZ, kept, size);
        HKEY saved = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, source.Path().c_str(), 0, KEY_READ, &saved), 0);
        const std::string hive = Utf8(folder / "NTUSER.DAT");
        EXPECT_EQ(RegSaveKeyW(saved, win32::Widen(hive).c_str(), nullptr), ERROR_SUCCESS);
        RegCloseKey(saved);
        return hive;
    }

    Scratch folder{"cli"};
    ScratchKey key{"cli"};
    const fs::path cli = folder.CopyOrvikCli();
    const std::string journal = " \"" + Utf8(folder / "run.journal") + "\"";  // as an argument
};

bool ProfileLoaded() {
    HKEY loaded = nullptr;
    if (RegOpenKeyExW(HKEY_USERS, L"OrvikDefaultProfile", 0, KEY_READ, &loaded) != 0) return false;
    RegCloseKey(loaded);
    return true;
}

TEST_F(Console, PlanChangesNothingAndApplyDoesWhatTheSilentRunDoes) {
    const std::string k = key.Name();
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("1", RegistryEntry(k + "\\New", "A", "DWORD", "1") +
                                RegistryEntry(k, "B", "STRING", "x") +
                                RegistryEntry(k, "C", "STRING", "same") +
                                RegistryEntry(k, "D", "STRING", "") +
                                RegistryEntry(k, "E", "BINARY", "01,02,ff") +
                                RegistryEntry(k + "\\Gone\\Deeper", "G", "STRING", "")) +
                  Item("2",
                       RegistryEntry("HKCU\\Software\\Orvik", "X", "DWORD", "1") +
                           RegistryEntry(k, "F", "DWORD", "1"),
                       Tag("CommandLines", Command("C:\\orvik-nowhere\\missing.exe /quiet") +
                                               Command(ProbeCommand(folder / "skipped"))) +
                           Tag("WMIQueries", Query("SELEC broken", 1))) +
                  Item("3", "",
                       Tag("CommandLines", Command(ProbeCommand(folder / "started"))) +
                           Tag("WMIQueries", Query("SELECT * FROM Win32_OperatingSystem", 9999))) +
                  Tag("Item", Tag("Number", "4") + Tag("Enabled", "False") +
                                  Tag("OSVersion", "All") +
                                  Tag("RegistryEntries", RegistryEntry(k, "Off", "DWORD", "1")))));
    const auto preset = [&] {
        key.Clear();
        key.Write("B", "y", KEY_WOW64_64KEY);
        key.Write("C", "same", KEY_WOW64_64KEY);
        key.Write("D", "gone", KEY_WOW64_64KEY);
    };
    preset();
    const std::string before = Export();

    // The unknown root is an error of the catalogue: plan still shows everything, and exits 2.
    const json::Value plan = Json("plan", 2);
    EXPECT_EQ(Outcomes(plan),
              "1: set change unchanged change set unchanged; 2: fail skip fail skip fail; 3: start "
              "found");
    EXPECT_EQ(Outcomes(plan, "changed"),
              "1: yes yes no yes yes no; 2: no no null null null; 3: null null");
    EXPECT_EQ(Export(), before);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(folder.Exists("started"));
    EXPECT_FALSE(folder.Exists("SarnetLog.txt"));
    const json::Value& first = plan["entries"][0]["actions"];
    EXPECT_EQ(first[0]["createdKeys"][0].text, k + "\\New");
    EXPECT_EQ(first[1]["before"]["data"].text, "y");
    EXPECT_EQ(first[4]["after"]["data"].text, "01,02,FF");
    EXPECT_EQ(plan["entries"][2]["actions"][0]["program"].text, Utf8(ShowStateProbe()));
    EXPECT_TRUE(plan["entries"][2]["actions"][1]["count"].IsNull());

    EXPECT_TRUE(Json("apply", 2)["summary"]["refused"].boolean);
    EXPECT_EQ(Export(), before);

    SYSTEMTIME from = LocalNow();
    const json::Value apply = Json("apply --force", 1);
    EXPECT_EQ(Outcomes(apply),
              "1: applied applied applied applied applied applied; 2: failed skip "
              "failed skip failed; 3: ran found");
    EXPECT_EQ(Outcomes(apply, "changed"), Outcomes(plan, "changed"));
    ASSERT_TRUE(WaitForProbe(folder / "started"));
    const std::string applied = Export();
    // A delete under a key that is not there made no key of its path.
    EXPECT_EQ(applied.find("Gone"), std::string::npos) << applied;
    std::vector<std::string> logged = LogLinesSince(folder.Folder(), from);
    for (std::string& line : logged) {  // the Source names the program that ran
        if (const size_t at = line.find("Source = OrvikCli."); at != std::string::npos) {
            line.replace(at, 18, "Source = Orvik.");
        }
    }
    ASSERT_EQ(logged.size(), 2u);
    // A refused query is logged with WMI's code; the run goes on to entry 3.
    EXPECT_TRUE(logged[1].starts_with(" Error -2147217385, Source = Orvik.WMIRunner: "))
        << logged[1];
    EXPECT_TRUE(logged[1].ends_with("Trace:  Command:SELEC broken")) << logged[1];

    preset();
    fs::remove(folder / "SarnetLog.txt");
    fs::remove(folder / "started");
    from = LocalNow();
    EXPECT_EQ(RunToEnd(folder.CopyOrvik(), "-RUN").code, 1) << "as apply's: actions failed";
    ASSERT_TRUE(WaitForProbe(folder / "started"));
    EXPECT_EQ(Export(), applied);
    EXPECT_EQ(LogLinesSince(folder.Folder(), from), logged);
    EXPECT_FALSE(folder.Exists("skipped"));
}

TEST_F(Console, ExitCodesWarningsWithoutABoxAndText) {
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("9", "",
                       Tag("Name", "Größe ändern") +
                           Tag("WMIQueries", Query("SELECT * FROM Win32_OperatingSystem", 1)))));
    // The warning is reported, and the program ends by itself: no box waits for anyone.
    const json::Value warned = Json("apply", 3);
    EXPECT_EQ(warned["entries"][0]["actions"][0]["count"].Int(), 1);
    EXPECT_TRUE(warned["entries"][0]["actions"][0]["warn"].boolean);
    EXPECT_EQ(warned["entries"][0]["name"].text, "Größe ändern");
    EXPECT_EQ(warned["catalogue"]["path"].text, Utf8(folder / "OrvikOptimizations.xml"));
    EXPECT_EQ(warned["version"].text, ORVIK_VERSION);
    EXPECT_EQ(warned["windows"]["wow64"].boolean, kWow64);

    // Into a file, text is UTF-8 with CR LF line ends; progress goes to standard error.
    const Ran text = RunToEnd(cli, "plan");
    EXPECT_EQ(text.code, 3);
    EXPECT_TRUE(Holds(text.out, "9  Größe ändern  (line"));
    EXPECT_EQ(text.err, "1 of 1: 9 Größe ändern\r\n");

    // Places as MSXML's reader gives them: columns count characters, not bytes.
    folder.Write("problems.xml",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations>\n"
                 "  <Item><Name>Größe</Name><Colour/><OSVersion>Windows 7"
                 "</OSVersion></Item>\n</Optimizations>\n");
    std::string places;
    const json::Value checked =
        Json("validate --catalogue \"" + Utf8(folder / "problems.xml") + "\"", 2);
    for (const json::Value& problem : checked["problems"].items) {
        places += problem["code"].text + " " + std::to_string(problem["line"].Int()) + ":" +
                  std::to_string(problem["column"].Int()) + "; ";
    }
    EXPECT_EQ(places,
              "number-not-plain 3:3; no-action 3:3; unknown-element 3:27; "
              "unknown-version 3:36; unknown-version 3:36; ");
    const json::Value missing =
        Json("validate --catalogue \"" + Utf8(folder / "none.xml") + "\"", 2);
    EXPECT_EQ(missing["problems"][0]["code"].text, "unreadable");
    EXPECT_TRUE(missing["catalogue"]["sha256"].IsNull());

    EXPECT_EQ(RunToEnd(cli, "--version").out, std::string("OrvikCli ") + ORVIK_VERSION + "\r\n");
}

// What a person sees: a file that cannot be read or parsed says what is wrong with it, in the
// system's words or the file's, where it stands; usage in the ways of Windows tools; a run that
// cannot be undone says so, unless told to be quiet. Output to a file has CR LF line ends.
TEST_F(Console, MessagesSayWhatIsWrongWhereItStands) {
    const auto item = [](const std::string& name) {
        return "<Item><Number>1</Number><Name>" + name +
               "</Name><Enabled>True</Enabled><OSVersion>All</OSVersion>";
    };
    folder.Write("zero.xml", std::string("<Optimizations>\n<Item>\n<Name>x</Name>\n</Item>\n<It") +
                                 '\0' + "em></Item></Optimizations>");
    folder.Write("amp.xml", "<Optimizations>\n<Item><Name>A & B</Name></Item></Optimizations>");
    folder.Write("cut.xml", "<Optimizations>\n<Item><Number>1</Number>\n<Ca");
    folder.Write("sjis.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<Optimizations/>");
    folder.Write("latin.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Optimizations>" +
                                  item("Gr\xF6\xDF"
                                       "e \x80") +
                                  "</Item></Optimizations>");
    folder.Write("dword.xml", "<Optimizations>" + item("d") +
                                  "<RegistryEntries>\n<RegistryEntry><Key>" + key.Name() +
                                  "</Key><ValueName/><KeyType>DWORD</KeyType>\n"
                                  "  <Value>many</Value></RegistryEntry></RegistryEntries></Item>"
                                  "</Optimizations>");
    folder.Write("default.xml", Catalogue(Item("1", RegistryEntry(key.Name(), "", "STRING", "d"),
                                               Tag("Name", "d"))));
    fs::create_directory(folder / "folder.xml");
    const struct {
        std::string arguments;  // a FILE: --catalogue "FILE" in the scratch folder
        int64_t code;
        std::string out, err;  // what each holds; err "": nothing at all
    } cases[] = {
        {"validate missing.xml", 2,
         "unreadable: the file cannot be read (" + win32::SystemErrorText(2) + "): ", ""},
        {"validate folder.xml", 2, "unreadable: the file cannot be read (it is a folder): ", ""},
        {"validate zero.xml", 2,
         "\r\nerror   5:4      refused-file: a NUL byte, which no XML "
         "file holds (is the file damaged, or no text?)",
         ""},
        {"validate amp.xml", 2,
         "2:15     not-well-formed: the file is no well-formed XML (a bare "
         "& (write &amp; for an ampersand in text))",
         ""},
        {"validate cut.xml", 2, "(the file ends before <Item> is closed: it is cut short)", ""},
        {"validate sjis.xml", 2,
         "refused-file: the file declares the encoding SHIFT_JIS, which "
         "the reader does not take: save the file as UTF-8",
         ""},
        {"PLAN --QUIET latin.xml", 0, "\r\n1  Größe €  (line 2)\r\n", ""},
        {"Validate dword.xml", 2, "\r\nerror   3:3      invalid-dword: ", ""},
        {"plan default.xml", 0, "\\(Default): (absent) -> REG_SZ \"d\"", "1 of 1: 1 d\r\n"},
        // A journal is a file the run makes: a device is refused before anything is applied.
        {"apply --journal NUL default.xml", 2,
         "journal-not-made: NUL could not be made: it is a device, not a file on a disk", ""},
        {"apply --journal nul.jsonl default.xml", 2, "journal-not-made: nul.jsonl could not", ""},
        {"apply default.xml", 0, "applied",
         "OrvikCli: no --journal given: what this run changes cannot be undone\r\n1 of 1"},
        {"apply --quiet default.xml", 0, "applied", ""},
        // Wine's userenv names no default profile folder: no hive is guessed at or made up.
        {"plan --user default default.xml", 2,
         "hive-not-found: the system does not say where the default profile is", ""},
        {"plan --force", 64, "",
         "OrvikCli: plan does not take --force\r\nFor help: OrvikCli help plan or OrvikCli "
         "--help\r\n"},
        {"Aply", 64, "", "\r\nFor help: "},
        {"apply --items 8 default.xml", 64, "", "no entry has the Number 8\r\nFor help: "},
        {"plan --quiet --QUIET", 64, "", "--quiet is given more than once\r\nFor help: "},
        {"HELP plan", 0, "usage: OrvikCli plan [--catalogue FILE]", ""},
        {"apply /?", 0, "usage: OrvikCli apply [--catalogue FILE]", ""},
    };
    for (const auto& c : cases) {
        std::string arguments = c.arguments;
        if (const size_t file = arguments.find(".xml"); file != std::string::npos) {
            const size_t name = arguments.rfind(' ', file) + 1;
            arguments.replace(
                name, file + 4 - name,
                "--catalogue \"" + Utf8(folder / arguments.substr(name, file + 4 - name)) + "\"");
        }
        const Ran result = RunToEnd(cli, arguments);
        EXPECT_EQ(result.code, c.code) << c.arguments << "\n" << result.out << result.err;
        EXPECT_TRUE(Holds(result.out, c.out)) << c.arguments << "\n" << result.out;
        EXPECT_TRUE(c.err.empty() ? result.err.empty()
                                  : result.err.find(c.err) != std::string::npos)
            << c.arguments << "\n"
            << result.err;
    }
    // Help names only the command asked about.
    EXPECT_EQ(RunToEnd(cli, "help plan").out.find("OrvikCli apply"), std::string::npos);
}

// Values of several types, one deleted, keys made along a path, a command line and a query:
// undo of the journal leaves the key exactly as it was, and a second undo finds nothing to do.
// Text that is no whole UTF-16 text reads as U+FFFD: writing U+FFFD over it changes its bytes,
// and undo puts the very bytes back. (A REG_SZ stored without its final NUL is kept exactly on
// Windows; Wine adds the NUL whenever it is read.)
TEST_F(Console, UndoOfAJournalPutsTheKeyBackExactly) {
    const std::wstring at = key.Path();
    const wchar_t multi[] = L"a\0b\0";  // and the array's own NUL
    const uint8_t qword[8] = {1, 2, 3, 4, 5, 6, 7, 8}, binary[3] = {1, 2, 3};
    const DWORD five = 5;
    Put(at, L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    Put(at, L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    Put(at, L"Qword", REG_QWORD, qword, sizeof qword);
    Put(at, L"Binary", REG_BINARY, binary, sizeof binary);
    Put(at, L"Dword", REG_DWORD, &five, sizeof five);
    Put(at, L"Gone", REG_SZ, L"gone", 10);
    const wchar_t lone[] = {0xD800, 0};
    Put(at, L"Lone", REG_SZ, lone, sizeof lone);
    const std::string k = key.Name(), deeper = k + "\\New\\Deeper";
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("1", RegistryEntry(k, "Multi", "STRING", "x") +
                                RegistryEntry(k, "Expand", "DWORD", "1") +
                                RegistryEntry(k, "Qword", "BINARY", "0A0B") +
                                RegistryEntry(k, "Binary", "STRING", "y") +
                                RegistryEntry(k, "Dword", "DWORD", "7") +
                                RegistryEntry(k, "GONE", "STRING", "") +
                                RegistryEntry(k, "Absent", "STRING", "%z%") +
                                RegistryEntry(k, "Lone", "STRING", "\xEF\xBF\xBD") +
                                RegistryEntry(deeper, "D", "DWORD", "1")) +
                  Item("2", "",
                       Tag("CommandLines", Command(ProbeCommand(folder / "ran"))) +
                           Tag("WMIQueries", Query("SELECT * FROM Win32_OperatingSystem", 9)))));
    const std::string before = Export();
    ASSERT_NE(before.find(std::string("Q\0w\0o\0r\0d", 9)), std::string::npos) << "UTF-16";
    EXPECT_EQ(Outcomes(Json("plan", 0)),
              "1: change change change change change change set change set; 2: start found");
    EXPECT_EQ(RunToEnd(cli, "apply --journal" + journal).code, 0);
    EXPECT_TRUE(key.Exists("New\\Deeper"));
    const std::string applied = Export();
    EXPECT_NE(applied, before);

    // A dry run says what undo will do and changes nothing; a REG_MULTI_SZ shows its strings.
    const json::Value dry = Json("undo --dry-run" + journal, 0);
    EXPECT_TRUE(dry["dryRun"].boolean);
    EXPECT_EQ(dry["summary"]["outcomes"]["restored"].Int(), 9);
    EXPECT_EQ(Export(), applied);
    const json::Value& strings = dry["entries"][1]["actions"].items.back()["before"]["data"];
    EXPECT_EQ(strings.items.size(), 2u);
    EXPECT_EQ(strings[1].text, "b");
    // A byte-order mark that an editor put first keeps the journal a journal.
    folder.Write("run.journal", "\xEF\xBB\xBF" + folder.Read("run.journal"));

    const json::Value undone = Json("undo" + journal, 0);
    EXPECT_EQ(Export(), before);
    EXPECT_EQ(Outcomes(dry), Outcomes(undone));  // the keys the run made too
    const json::Value& outcomes = undone["summary"]["outcomes"];
    EXPECT_EQ(outcomes["restored"].Int(), 9);
    EXPECT_EQ(outcomes["removed"].Int(), 2);
    EXPECT_EQ(outcomes["not-undoable"].Int(), 2);
    EXPECT_EQ(Json("undo" + journal, 0)["summary"]["outcomes"]["unchanged"].Int(), 11);
    EXPECT_EQ(Export(), before);
}

// The default profile's hive, made here with RegSaveKey: HKEY_CURRENT_USER values go into it
// while it is loaded (a later action reads what an earlier one wrote there), the current user's
// key stays as it was, and the hive is unloaded after the run, after a failure too. Wine does not
// write a loaded hive back to its file; Windows does when it is unloaded.
TEST_F(Console, DefaultProfileHiveIsWrittenWhileLoaded) {
    const wchar_t kept[] = L"profile";
    const std::string hive = SavedHive(L"\\" + key.Path(), kept, sizeof kept);
    const std::string k = key.Name();
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Item("1", RegistryEntry(k, "V", "DWORD", "1") +
                                         RegistryEntry(k, "Kept", "STRING", "x")) +
                           Item("2", RegistryEntry(k, "V", "DWORD", "2") +
                                         RegistryEntry(k, "Bad", "DWORD", "many"))));
    const std::string profile = " --user default --default-hive \"" + hive + "\"";
    const json::Value plan = Json("plan" + profile, 2);
    EXPECT_EQ(plan["entries"][0]["actions"][1]["before"]["data"].text, "profile");

    const json::Value applied = Json("apply --force" + profile + " --journal" + journal, 1);
    EXPECT_EQ(applied["entries"][0]["actions"][1]["before"]["data"].text, "profile");
    EXPECT_EQ(applied["entries"][1]["actions"][0]["before"]["data"].Int(), 1);
    EXPECT_FALSE(key.Exists());
    EXPECT_FALSE(ProfileLoaded());

    const json::Value undone = Json("undo" + journal, 0);
    EXPECT_EQ(undone["journal"]["defaultHive"].text, hive);
    EXPECT_FALSE(ProfileLoaded());
}

// On Windows 10 the shipped catalogue's scheduled defragmentation of Vista to 7 stays off: there
// the task also retrims, which the entry's own text says must stay on. (Which entries each
// Windows is offered is the codes' table; the console's reasons and --all-versions its own test;
// here the real program finds the version it runs on.)
TEST_F(Console, ShippedCatalogueOnWindowsTenLeavesTheDefragmentationOfSevenAlone) {
    WineVersion ten("win10");
    ASSERT_TRUE(ten.Set());
    const std::string catalogue = Utf8(FromBuild(ORVIK_DATA_DIR "/OrvikOptimizations.xml"));
    const json::Value plan =
        json::Parse(RunToEnd(cli, "plan --json --catalogue \"" + catalogue + "\"").out);
    size_t found = 0;
    for (const json::Value& entry : plan["entries"].items) {
        // Entry 6 disables \Microsoft\Windows\Defrag\ScheduledDefrag.
        if (entry["number"].text != "6") continue;
        ++found;
        for (const json::Value& action : entry["actions"].items) {
            EXPECT_EQ(action["outcome"].text, "skip");
        }
        EXPECT_TRUE(Holds(entry["reason"].text, "Windows 7, not this Windows (Windows 10)"));
    }
    EXPECT_EQ(found, 1u);
    EXPECT_GT(plan["summary"]["leftOut"].Int(), 0);
}

// Names longer than the registry takes: the plan says the writes fail, with the error apply
// meets, and what follows in that entry is skipped.
TEST_F(Console, PlanForeseesNamesTooLongForTheRegistry) {
    const std::string k = key.Name();
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("1", RegistryEntry(k, std::string(16384, 'v'), "DWORD", "1") +
                                RegistryEntry(k, "after", "DWORD", "1")) +
                  Item("2", RegistryEntry(k + "\\" + std::string(300, 'k'), "v", "DWORD", "1")) +
                  Item("3", RegistryEntry(k, std::string(16383, 'v'), "DWORD", "1"))));
    const json::Value plan = Json("plan", 1);
    EXPECT_EQ(Outcomes(plan), "1: fail skip; 2: fail; 3: set");
    const json::Value apply = Json("apply", 1);
    EXPECT_EQ(Outcomes(apply), "1: failed skip; 2: failed; 3: applied");
    for (size_t entry : {0, 1}) {
        const json::Value& planned = plan["entries"][entry]["actions"][0]["error"];
        const json::Value& met = apply["entries"][entry]["actions"][0]["error"];
        EXPECT_EQ(planned["number"].Int(), met["number"].Int());
        EXPECT_EQ(planned["description"].text, met["description"].text);
    }
    // The root by its name, not its handle's number.
    EXPECT_TRUE(Holds(apply["entries"][0]["actions"][0]["error"]["description"].text,
                      "Key: 'HKEY_CURRENT_USER'"));
}

// apply ends a command line's wait at its bound, leaving it running, and goes on; --no-wait and
// Orvik.exe -RUN start each command line and go on: the run ends before a slow one has, a
// failing one fails nothing, and what follows is applied.
TEST_F(Console, CommandLinesAreAwaitedWithinTheBoundOrNotAtAll) {
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item("1", "",
                       Tag("CommandLines", Command(ProbeCommand(folder / "slow", 4s)) +
                                               Command(ProbeCommand(folder / "three", 0ms, 3)))) +
                  Item("2", RegistryEntry(key.Name(), "A", "DWORD", "1"))));
    const json::Value waited = Json("apply --command-timeout 2", 1);
    EXPECT_EQ(Outcomes(waited), "1: failed skip; 2: applied");
    const json::Value& timedOut = waited["entries"][0]["actions"][0]["error"];
    EXPECT_EQ(timedOut["number"].Int(), 258);
    EXPECT_EQ(timedOut["description"].text,
              "The command did not end within 2 seconds and was left running");
    EXPECT_TRUE(WaitForProbe(folder / "slow")) << "left running";
    for (const bool silent : {false, true}) {
        key.Clear();
        for (const char* name : {"slow", "three", "SarnetLog.txt"}) fs::remove(folder / name);
        if (silent) {
            EXPECT_EQ(RunToEnd(folder.CopyOrvik(), "-RUN").code, 0);
        } else {
            EXPECT_EQ(Outcomes(Json("apply --no-wait", 0)), "1: started started; 2: applied");
        }
        EXPECT_FALSE(folder.Exists("slow")) << silent;
        EXPECT_EQ(key.Dword("", "A"), 1);
        for (const char* name : {"slow", "three"}) EXPECT_TRUE(WaitForProbe(folder / name));
        EXPECT_FALSE(folder.Exists("SarnetLog.txt"));
    }
}

// Command lines write into pipes of their own, never into the JSON document; what a failed one
// wrote ends its log line. Not awaited, they write into nothing.
TEST_F(Console, TalkingCommandsStayOutOfTheDocument) {
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item(
            "1", "",
            Tag("CommandLines", Command("cmd.exe /c echo talking") +
                                    Command("cmd.exe /c echo first&amp; echo second 1>&amp;2&amp; "
                                            "exit 4")))));
    const json::Value applied = Json("apply", 1);
    const json::Value& actions = applied["entries"][0]["actions"];
    EXPECT_EQ(actions[0]["output"]["stdout"].text, "talking\r\n");
    EXPECT_EQ(actions[1]["output"]["stdout"].text, "first\r\n");
    EXPECT_EQ(actions[1]["output"]["stderr"].text.substr(0, 6), "second");
    EXPECT_EQ(actions[1]["error"]["number"].Int(), 4);
    EXPECT_EQ(actions[1]["error"]["description"].text, "The command ended with exit code 4");
    const std::vector<std::string> lines = LogLines(folder.Folder());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with("exit 4 Output: first Errors: second")) << lines[0];

    const Ran started = RunToEnd(cli, "apply --no-wait --json");
    EXPECT_EQ(started.code, 0);
    EXPECT_EQ(started.out.find("talking\r\n"), std::string::npos) << started.out;
    EXPECT_EQ(Outcomes(json::Parse(started.out)), "1: started started");
}

// --user both: each user's write is an action of its own, with its own state and keys made. A
// value set already for the current user is unchanged there and new in the default profile; a
// delete of a value that only the current user holds is done for both.
TEST_F(Console, BothUsersAreWrittenAndReportedEachOnItsOwn) {
    const std::string hive = SavedHive(L"", L"k", 4);
    const DWORD one = 1;
    Put(key.Path(), L"V", REG_DWORD, &one, sizeof one);
    Put(key.Path(), L"D", REG_SZ, L"x", 4);
    const std::string k = key.Name();
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Item("1", RegistryEntry(k, "V", "DWORD", "1") +
                                         RegistryEntry(k, "D", "STRING", ""))));
    const std::string both = " --user both --default-hive \"" + hive + "\"";
    const json::Value plan = Json("plan" + both, 0);
    EXPECT_EQ(Outcomes(plan), "1: unchanged set change unchanged");

    const json::Value applied = Json("apply" + both + " --journal" + journal, 0);
    std::string actions;
    for (const json::Value& action : applied["entries"][0]["actions"].items) {
        actions += action["user"].text + " " + action["valueName"].text + " " +
                   (action["before"].IsNull() ? "-" : action["before"]["type"].text) + ">" +
                   (action["after"].IsNull() ? "-" : action["after"]["type"].text);
        for (const json::Value& made : action["createdKeys"].items) actions += " " + made.text;
        actions += "; ";
    }
    const std::string scratch = k.substr(k.find('\\') + 1);
    EXPECT_EQ(actions,
              "current V REG_DWORD>REG_DWORD; default V ->REG_DWORD "
              "HKEY_CURRENT_USER\\Software HKEY_CURRENT_USER\\" +
                  scratch + "; current D REG_SZ>-; default D ->-; ");
    EXPECT_EQ(plan["entries"][0]["actions"][1]["createdKeys"].items.size(), 2u);
    EXPECT_FALSE(key.Read("", "D"));
    EXPECT_FALSE(ProfileLoaded());

    Json("undo" + journal, 0);
    EXPECT_EQ(key.Read("", "D")->data, std::vector<uint8_t>{'x'});
    EXPECT_FALSE(ProfileLoaded());
}

}  // namespace

// Two real processes and the machine's run lock: while this one holds it, apply and undo wait as
// long as --wait-for-lock says and end busy (6), changing nothing; a lock whose holder ended
// without letting go is taken with a warning; -RUN waits for it and then runs.
TEST_F(Console, ApplyUndoAndTheSilentRunWaitForTheRunLock) {
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Item("1", RegistryEntry(key.Name(), "V", "DWORD", "1"))));
    ASSERT_EQ(Json("apply --journal" + journal, 0)["problems"].items.size(), 0u);
    key.Clear();
    uint32_t error = 0;
    auto held = std::make_unique<win32::Win32RunLock>();
    ASSERT_EQ(held->Take(0ms, error), RunLock::Taken::Held);
    // Taken again by its thread it nests (the editor's hold, then its session's take); another
    // thread finds it busy until the last Release.
    ASSERT_EQ(held->Take(0ms, error), RunLock::Taken::Held);
    held->Release();
    std::thread([&] {
        uint32_t other = 0;
        EXPECT_EQ(win32::Win32RunLock().Take(100ms, other), RunLock::Taken::Busy);
    }).join();
    for (const std::string& command :
         {std::string("apply --wait-for-lock 1"), "undo" + journal + " --wait-for-lock 1"}) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(Json(command, 6)["problems"][0]["code"].text, "busy") << command;
        EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    }
    EXPECT_FALSE(key.Exists());
    EXPECT_NE(RunToEnd(cli, "undo" + journal + " --dry-run").code, 6);  // changes nothing: no lock

    const fs::path orvik = folder.CopyOrvik();
    Process silent(orvik, "-RUN");
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(silent.Running());
    EXPECT_FALSE(key.Exists());
    held->Release();
    EXPECT_EQ(silent.Wait(), 0u);
    EXPECT_EQ(key.Dword("", "V"), 1);

    // Taken by a thread that ends holding it; this process keeps the name alive.
    std::thread([&] { held->Take(0ms, error); }).join();
    EXPECT_EQ(Json("apply", 0)["problems"][0]["code"].text, "lock-abandoned");
    EXPECT_EQ(held->Take(0ms, error), RunLock::Taken::Held) << "let go again";
    held->Release();
}

// A command line as a tool passes it: the command and the names of its options, sorted.
std::string OptionsOf(const std::string& arguments) {
    std::istringstream words(arguments);
    std::string word, command;
    std::set<std::string> options;
    while (words >> word) {
        if (word.starts_with("--")) options.insert(word.substr(0, word.find_first_of("\"'=]")));
        if (command.empty() && std::isalpha(static_cast<unsigned char>(word[0]))) command = word;
    }
    for (const std::string& option : options) command += " " + option;
    return command;
}

// docs/automation.md: each row of its table (command line | the machine | exit code | JSON field
// | value) holds on the real program, and every command line of its examples takes a row's
// options and reads only the JSON fields the rows hold.
TEST_F(Console, TheAutomationExamplesHold) {
    std::ifstream file(FromBuild(ORVIK_DOCS_DIR "/automation.md"), std::ios::binary);
    const std::string doc{std::istreambuf_iterator<char>(file), {}};
    std::string line;
    const std::string k = key.Name();
    folder.Write("OrvikOptimizations.xml",
                 Catalogue(Item("1", RegistryEntry(k, "A", "DWORD", "1") +
                                         RegistryEntry(k + "\\Sub", "B", "STRING", "x"))));
    std::set<std::string> rows, fields;
    std::istringstream lines(doc.substr(doc.find("| command line |")));
    for (int journal = 0; std::getline(lines, line) && line.starts_with("|");) {
        std::vector<std::string> row;  // the cells, trimmed
        for (size_t bar = 0, next; (next = line.find('|', bar + 1)) != std::string::npos;
             bar = next) {
            std::string cell = line.substr(bar + 1, next - bar - 1);
            std::erase(cell, '`');
            cell.erase(0, cell.find_first_not_of(' '));
            row.push_back(cell.erase(cell.find_last_not_of(' ') + 1));
        }
        if (row.size() != 5 || !std::isdigit(static_cast<unsigned char>(row[2][0]))) continue;
        rows.insert(OptionsOf(row[0]));
        key.Clear();
        if (row[1] == "in place") {
            ASSERT_EQ(RunToEnd(cli, "apply --quiet").code, 0);
        }
        std::string arguments = row[0], name = std::to_string(++journal);
        if (const size_t at = arguments.find("FILE"); at != std::string::npos) {
            arguments.replace(at, 4, Utf8(folder / name.append(".jsonl")));
        }
        const Ran result = RunToEnd(cli, arguments);
        EXPECT_EQ(result.code, std::stoi(row[2])) << line << result.out << result.err;
        if (row[3].empty()) continue;
        fields.insert(row[3]);
        const json::Value report = json::Parse(result.out);
        const json::Value* value = &report;
        std::istringstream path(row[3]);
        for (std::string step; std::getline(path, step, '.');) {
            value = std::isdigit(static_cast<unsigned char>(step[0])) ? &(*value)[std::stoul(step)]
                                                                      : &(*value)[step];
        }
        EXPECT_EQ(value->type == json::Value::Type::Bool ? (value->boolean ? "true" : "false")
                                                         : std::to_string(value->Int()),
                  row[4])
            << line;
    }
    EXPECT_GE(rows.size(), 3u);
    // The examples: the lines of code blocks that start the program, and the fields they read.
    size_t examples = 0;
    std::istringstream all(doc);
    for (bool code = false; std::getline(all, line);) {
        code = code != line.starts_with("```");
        if (!code) continue;
        if (const size_t program = line.find("OrvikCli.exe"); program != std::string::npos) {
            ++examples;
            EXPECT_TRUE(rows.count(OptionsOf(line.substr(program + 12)))) << line;
        }
        for (size_t at = line.find(".summary."); at != std::string::npos;
             at = line.find(".summary.", at + 1)) {
            const size_t end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz.", at + 9);
            EXPECT_TRUE(fields.count(line.substr(at + 1, end - at - 1))) << line;
        }
    }
    EXPECT_GE(examples, 6u);
}

namespace {

// A service of the test's own, made with CreateServiceW and never started; deleted after.
class OwnService {
public:
    explicit OwnService(const std::string& name)
        : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE)) {
        const std::wstring wide = win32::Widen(name);
        service_ =
            CreateServiceW(manager_, wide.c_str(), wide.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                           L"C:\\orviktest.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    ~OwnService() {
        if (service_) DeleteService(service_), CloseServiceHandle(service_);
        if (manager_) CloseServiceHandle(manager_);
    }
    bool Made() const { return service_ != nullptr; }
    DWORD StartType() const {
        std::vector<uint8_t> buffer(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        return QueryServiceConfigW(service_, config, 8192, &needed) ? config->dwStartType : 99;
    }

private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

}  // namespace

// Through the system's interfaces, on a service and a task of the test's own: plan says what
// would change and changes nothing; apply sets both and reads them back (Wine's put_Enabled takes
// the task's change and keeps nothing: failed, never applied); undo and its dry run put them
// back. A service that is not there is absent, no failure.
TEST_F(Console, ServicesAndTasksGoThroughTheSystemsInterfaces) {
    const std::string name = "OrvikE2E" + std::to_string(GetCurrentProcessId());
    OwnService service(name);
    ASSERT_TRUE(service.Made());
    folder.Write("task.xml",
                 "<?xml version=\"1.0\"?><Task version=\"1.2\" xmlns=\"http://"
                 "schemas.microsoft.com/windows/2004/02/mit/task\"><Actions><Exec>"
                 "<Command>C:\\orviktest.exe</Command></Exec></Actions></Task>");
    Process made("schtasks.exe",
                 "/Create /TN " + name + " /XML \"" + Utf8(folder / "task.xml") + "\" /F");
    ASSERT_EQ(made.Wait(), 0u);
    folder.Write(
        "OrvikOptimizations.xml",
        Catalogue(Item(
            "1", "",
            Tag("Services",
                Tag("Service",
                    Tag("Name", name) + Tag("StartType", "Disabled") + Tag("Stop", "True")) +
                    Tag("Service", Tag("Name", name + "Gone") + Tag("StartType", "Manual"))) +
                Tag("ScheduledTasks",
                    Tag("ScheduledTask", Tag("Path", "\\" + name) + Tag("State", "Disabled"))))));
    EXPECT_EQ(Outcomes(Json("plan", 0)), "1: change absent change");
    EXPECT_EQ(service.StartType(), static_cast<DWORD>(SERVICE_DEMAND_START));
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    const json::Value applied = Json("apply --journal" + journal, wine ? 1 : 0);
    EXPECT_EQ(Outcomes(applied), wine ? "1: applied absent failed" : "1: applied absent applied");
    // Stopped already: no failure, nothing stopped.
    const json::Value& stopped = applied["entries"][0]["actions"][0]["stopped"];
    EXPECT_TRUE(stopped.type == json::Value::Type::Bool && !stopped.boolean);
    if (wine) {
        EXPECT_EQ(applied["entries"][0]["actions"][2]["error"]["description"].text,
                  "The change did not take: the task is still enabled");
    }
    EXPECT_EQ(service.StartType(), static_cast<DWORD>(SERVICE_DISABLED));
    const char* undone = wine ? "1: unchanged restored" : "1: restored restored";
    EXPECT_EQ(Outcomes(Json("undo --dry-run" + journal, 0)), undone);
    EXPECT_EQ(service.StartType(), static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(Outcomes(Json("undo" + journal, 0)), undone);
    EXPECT_EQ(service.StartType(), static_cast<DWORD>(SERVICE_DEMAND_START));
    Process("schtasks.exe", "/Delete /TN " + name + " /F").Wait();
}
