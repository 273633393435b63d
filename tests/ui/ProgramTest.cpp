// Orvik.exe itself, driven as a user would drive it: started without arguments beside a
// catalogue written here, its windows found and clicked through messages. Needs a display
// (Xvfb under Wine).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "Harness.h"
#include "TestSupport.h"
#include "catalogue/XmlReader.h"
#include "platform/XmlDocument.h"
#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/Win32RunLock.h"

namespace {

using namespace harness;
using Flags = std::vector<std::pair<std::string, bool>>;

using Row = std::vector<bool>;

// The shell's open verb for web pages, in this prefix's machine-wide classes (Wine 8 does not read
// the user's): it copies the page it is asked to open, so that the test sees which file that was.
struct PageViewer {
    explicit PageViewer(const fs::path& copy) {
        const std::wstring command = L"cmd.exe /c copy /y \"%1\" \"" + copy.wstring() + L"\"";
        for (const auto& [key, value] :
             {std::pair<const wchar_t*, std::wstring>{kType, L"OrvikTest.Page"},
              {L"Software\\Classes\\OrvikTest.Page\\shell\\open\\command", command}}) {
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~PageViewer() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kType);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\OrvikTest.Page");
    }
    static constexpr const wchar_t* kType = L"Software\\Classes\\.html";
};

// The journals in the machine's journal folder.
std::set<fs::path> Journals() {
    wchar_t folder[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%ProgramData%\\Orvik Optimizer\\Journals", folder, MAX_PATH);
    std::set<fs::path> names;
    std::error_code ignored;
    for (const auto& file : fs::directory_iterator(folder, ignored)) names.insert(file.path());
    return names;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Number, name, versions, enabled, impact; each writes its name as a DWORD value.
        const char* entries[][5] = {{"1", "One", "All", "False", "Low"},
                                    {"2", "Two", "All", "True", "High"},
                                    {"3", "Three", "WindowsXP", "True", "High"},
                                    {"4", "Four", "All", "False", "HIGH"},
                                    {"5", "Five", "All", "True", "Medium"}};
        std::string items;
        for (const auto& e : entries) {
            items += Tag(
                "Item", Tag("Number", e[0]) + Tag("Name", e[1]) + Tag("OSVersion", e[2]) +
                            Tag("Enabled", e[3]) + Tag("Impact", e[4]) +
                            Tag("RegistryEntries", RegistryEntry(key.Name(), e[1], "DWORD", e[0])));
        }
        folder.Write("OrvikOptimizations.xml", Catalogue(items));
    }

    // Number and Enabled of each entry, as the product's reader finds them in the file now.
    Flags FileFlags() {
        Flags flags;
        for (const auto& item : XmlReader(*xml, Utf8(folder.Folder())).ReadXML()) {
            flags.emplace_back(item->Number, item->Enabled);
        }
        return flags;
    }

    // A visible top-level window of the program: the splash has no caption bar, the others do.
    HWND FindForm(const std::string& caption, bool captionBar) {
        for (HWND window : VisibleWindowsOf(orvik->Id())) {
            wchar_t text[256] = {};
            GetWindowTextW(window, text, 256);
            const bool bar = (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
            if (win32::Narrow(text) == caption && bar == captionBar) return window;
        }
        return nullptr;
    }

    // Starts the program and waits for the editor with its list filled.
    HWND OpenEditor() {
        orvik.emplace(exe, "");
        HWND editor = nullptr;
        WaitFor([&] { return (editor = FindForm("Orvik Optimizer", true)) != nullptr; });
        WaitFor([&] { return Ticks(editor).size() > 0; });
        return editor;
    }

    std::vector<bool> Ticks(HWND editor) {
        HWND list = FindWindowExW(editor, nullptr, WC_LISTVIEWW, nullptr);
        std::vector<bool> ticks;
        for (int i = 0; i < SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
            const auto state = SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK);
            ticks.push_back(((state & LVIS_STATEIMAGEMASK) >> 12) == 2);
        }
        return ticks;
    }

    // The list's second column, read from the program's memory.
    static std::vector<std::string> Notes(HWND editor) {
        HWND list = FindWindowExW(editor, nullptr, WC_LISTVIEWW, nullptr);
        DWORD id = 0;
        GetWindowThreadProcessId(list, &id);
        win32::UniqueHandle process(
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id));
        constexpr int kChars = 64;
        auto* remote = static_cast<char*>(VirtualAllocEx(
            process.Get(), nullptr, sizeof(LVITEMW) + kChars * 2, MEM_COMMIT, PAGE_READWRITE));
        std::vector<std::string> notes;
        for (int i = 0; remote && i < SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
            LVITEMW item{};
            item.iSubItem = 1;
            item.cchTextMax = kChars;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr);
            const auto length =
                SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote));
            wchar_t text[kChars] = {};
            ReadProcessMemory(process.Get(), item.pszText, text, sizeof text, nullptr);
            notes.push_back(win32::Narrow(text, static_cast<size_t>(length)));
        }
        if (remote) VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
        return notes;
    }
    // A key pressed by the user, into the window that has the keyboard; with Ctrl or Alt held
    // when given.
    static void PressKey(WORD key, WORD held = 0) {
        std::vector<INPUT> input;
        for (const auto& [code, up] :
             {std::pair{held, false}, {key, false}, {key, true}, {held, true}}) {
            INPUT one{};
            one.type = INPUT_KEYBOARD;
            one.ki.wVk = code;
            one.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            if (code != 0) input.push_back(one);
        }
        SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    }
    // A File menu item by its access key, as the user chooses it.
    static void ChooseFileItem(HWND editor, WORD key) {
        SetForegroundWindow(editor);
        PressKey('F', VK_MENU);
        std::this_thread::sleep_for(300ms);
        PressKey(key);
    }
    // The text of the box that has come, which is then closed with button.
    static std::string Answer(int button = IDOK) {
        HWND box = WaitForMessageBox("", 15s);
        if (!box) return "";
        const std::string text = MessageBoxText(box);
        Press(box, button);
        WaitFor([&] { return !IsWindow(box); });
        return text;
    }

    static void Click(HWND control) {
        ASSERT_NE(control, nullptr);
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    }
    static void ClickButton(HWND editor, const wchar_t* picture) {
        Click(FindWindowExW(editor, nullptr, L"OrvikPicture", picture));
    }

    Scratch folder{"ui"};
    ScratchKey key{"ui"};
    const fs::path exe = folder.CopyOrvik();
    std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    std::optional<Process> orvik;
};

}  // namespace

// The smoke test that the x86 build runs too.
TEST_F(ProgramTest, SplashEditorAndSave) {
    orvik.emplace(exe, "");
    HWND splash = nullptr, editor = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (splash = FindForm("Orvik Optimizer", false)); }));
    const auto shown = std::chrono::steady_clock::now();
    EXPECT_EQ(FindForm("Orvik Optimizer", true), nullptr);
    ASSERT_TRUE(WaitFor([&] { return (editor = FindForm("Orvik Optimizer", true)); }));
    EXPECT_GE(std::chrono::steady_clock::now() - shown, 1500ms);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(splash); }, 3s));
    // The editor lists the entries for this Windows and no other.
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == Row{false, true, false, true}; }));

    // The keyboard is on the list, whose first row is current after loading: Space ticks it.
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == Row{true, true, false, true}; }));
    ClickButton(editor, L"imgSave");
    ASSERT_EQ(Answer(), "Saved");
    EXPECT_EQ(FileFlags(),
              (Flags{{"1", true}, {"2", true}, {"3", true}, {"4", false}, {"5", true}}));
    ClickButton(editor, L"imgUnselectAll");
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == Row(4, false); }));
    ClickButton(editor, L"imgSave");
    ASSERT_EQ(Answer(), "Saved");
    EXPECT_EQ(FileFlags(),
              (Flags{{"1", false}, {"2", false}, {"3", true}, {"4", false}, {"5", false}}));

    // Closing the editor, the only window left, ends the program.
    PostMessageW(editor, WM_CLOSE, 0, 0);
    EXPECT_EQ(orvik->Wait(10s), 0u);
}

// The editor is built hidden behind the splash: closing the splash early still ends the program.
TEST_F(ProgramTest, ClosingTheSplashEndsTheProgram) {
    orvik.emplace(exe, "");
    HWND splash = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (splash = FindForm("Orvik Optimizer", false)); }));
    std::this_thread::sleep_for(1s);
    PostMessageW(splash, WM_CLOSE, 0, 0);
    EXPECT_EQ(orvik->Wait(10s), 0u);
}

TEST_F(ProgramTest, RunKeepsAJournalAndUndoLastRunPutsTheRegistryBack) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    HWND warning = nullptr;
    auto warn = [&] {
        ClickButton(editor, L"imgRun");
        ASSERT_TRUE(WaitFor([&] { return (warning = FindForm("Warning!", true)); }));
        EXPECT_FALSE(IsWindowEnabled(editor));
    };
    // Enter alone applies nothing: the keyboard starts on No.
    warn();
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning); }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(WaitForMessageBox("", 0ms), nullptr);
    EXPECT_TRUE(key.Values().empty());

    const std::vector<std::string> none(4, "Not applied");
    EXPECT_TRUE(WaitFor([&] { return Notes(editor) == none; }));
    const std::set<fs::path> before = Journals();
    warn();
    Click(FindWindowExW(warning, nullptr, L"OrvikLabel", L"Yes"));
    // The box says where the journal of the run is, in the machine's journal folder.
    const std::string completed = Answer();
    std::vector<fs::path> made;
    for (const fs::path& path : Journals()) {
        if (!before.count(path)) made.push_back(path);
    }
    ASSERT_EQ(made.size(), 1u) << completed;
    EXPECT_EQ(completed, "Optimization Completed\n\nWhat the run changed is kept in " +
                             Utf8(made[0]) + "; File > Undo last run puts it back.");
    // Two and Five are ticked; Three is meant for another Windows and not in the editor.
    std::set<std::string> written;
    for (const StoredValue& value : key.Values()) written.insert(value.name);
    EXPECT_EQ(written, (std::set<std::string>{"Two", "Five"}));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(editor) != FALSE; }));
    const std::vector<std::string> applied{"Not applied", "Applied", "Not applied", "Applied"};
    EXPECT_TRUE(WaitFor([&] { return Notes(editor) == applied; })) << Notes(editor).size();

    // Undo last run asks first; No leaves everything as it is.
    ChooseFileItem(editor, 'U');
    EXPECT_EQ(Answer(IDNO).find("Undo the run of "), 0u);
    EXPECT_EQ(key.Values().size(), 2u);
    // A journal that Everyone may change is not obeyed.
    SetAccess(made[0], L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)");
    ChooseFileItem(editor, 'U');
    Answer(IDYES);
    EXPECT_EQ(Answer(), "Nothing was undone: " + Utf8(made[0]) +
                            " is not protected: Everyone (S-1-1-0) may write to it");
    SetAccess(made[0], L"D:P(A;;FA;;;SY)(A;;FA;;;BA)");
    // A value changed since the run is left alone and named.
    key.Write("Two", "changed since", KEY_WOW64_64KEY);
    // While another run holds the machine's run lock, Undo waits in a small window of its own
    // (the editor takes no input meanwhile) and goes on once the lock is let go.
    win32::Win32RunLock other;
    uint32_t error = 0;
    ASSERT_EQ(other.Take(0ms, error), RunLock::Taken::Held);
    ChooseFileItem(editor, 'U');
    EXPECT_EQ(Answer(IDYES).find("Undo the run of "), 0u);
    HWND wait = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (wait = FindForm("Waiting for another run", true)); }));
    EXPECT_FALSE(IsWindowEnabled(editor));
    EXPECT_EQ(key.Values().size(), 2u);
    other.Release();
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(wait); }));
    EXPECT_EQ(Answer(),
              "Undo completed: 1 value put back.\n\nChanged since the run, left "
              "alone:\n" +
                  key.Name() + "\\Two");
    ASSERT_EQ(key.Values().size(), 1u);
    EXPECT_EQ(key.Values()[0].name, "Two");
    EXPECT_TRUE(WaitFor([&] { return Notes(editor) == none; }));
    // The journal is marked undone, so that it is not offered again.
    EXPECT_TRUE(fs::remove(made[0].string() + ".undone"));
    EXPECT_EQ(Journals(), before);
}

// Find narrows the rows as the user types; Tab goes on to the list, where Space ticks the row
// that is current; Escape shows every row again, hidden ticks as they were.
TEST_F(ProgramTest, FindNarrowsTheRowsAndEscapeShowsThemAll) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    SetForegroundWindow(editor);
    PressKey('F', VK_CONTROL);
    PressKey('F');
    PressKey('I');
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == Row{true}; })) << "Five alone";
    PressKey(VK_TAB);
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == Row{false}; }));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitFor([&] { return Ticks(editor) == Row{false, true, false, false}; }));
}

TEST_F(ProgramTest, ExportWritesTheReportBesideTheCatalogueAndHasTheShellOpenIt) {
    const std::string catalogue = folder.Read("OrvikOptimizations.xml");
    PageViewer viewer(folder / "opened.html");
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    // Without its stylesheet there is no report, and a box says which file is missing.
    ClickButton(editor, L"imgExport");
    const std::string missing = Answer();
    EXPECT_NE(missing.find(Utf8(folder / "OrvikOptimizations.xsl")), std::string::npos) << missing;
    // OrvikCli report makes the page from the same function: the same failure, the same bytes.
    const fs::path cli = folder.CopyOrvikCli();
    Process failed(cli, "report");
    EXPECT_EQ(failed.Wait(), 2u);
    EXPECT_EQ(failed.Err().find(Utf8(folder / "OrvikOptimizations.xsl") + ": "), 0u);

    fs::copy_file(FromBuild(ORVIK_DATA_DIR "/OrvikOptimizations.xsl"),
                  folder / "OrvikOptimizations.xsl");
    ClickButton(editor, L"imgExport");
    std::string report;
    EXPECT_TRUE(WaitFor([&] {
        report = folder.Read("OrvikOptimizations.html");
        return !report.empty() && folder.Read("opened.html") == report;
    })) << "the shell was not asked to open "
        << Utf8(folder / "OrvikOptimizations.html");
    // The whole file, entries for other Windows versions included; the file itself is untouched.
    EXPECT_NE(report.find("<span class=\"name\">Three</span>"), std::string::npos);
    Process written(cli, "report --out \"" + Utf8(folder / "cli.html") + "\"");
    EXPECT_EQ(written.Wait(), 0u);
    EXPECT_EQ(folder.Read("cli.html"), report);
    Process printed(cli, "report");
    EXPECT_EQ(printed.Wait(), 0u);
    EXPECT_EQ(printed.Out(), report);
    EXPECT_EQ(folder.Read("OrvikOptimizations.xml"), catalogue);
    EXPECT_EQ(WaitForMessageBox("", 500ms), nullptr);
}
