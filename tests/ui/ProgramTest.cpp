// Orvik.exe itself, driven as a user would drive it: started without arguments in a scratch
// folder beside a catalogue written here, its windows found and clicked through messages.
// Needs a display (Xvfb under Wine).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Menu handles are not shared between processes under Wine, so the items are reached by their
// command ids: the toolkit numbers the items from 1000 in the order the menus are built.
constexpr WPARAM kMenuSave = 1000;
constexpr WPARAM kMenuRun = 1001;
constexpr WPARAM kMenuHigh = 1005;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The build hands over a Unix path; Wine sees it on drive Z:.
std::wstring ProgramPath() {
    std::string path = ORVIK_EXE;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        path = "Z:" + path;
    }
    return Wide(path);
}

bool WaitFor(const std::function<bool()>& done, int milliseconds = 15000) {
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        Sleep(20);
    }
    return true;
}

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// winecfg's output, trimmed. Wine keeps the Windows version per prefix; winecfg also sets the
// product type, which the registry's Version value alone leaves as it was.
std::string Winecfg(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) return {};
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    PROCESS_INFORMATION winecfg{};
    std::wstring command = L"winecfg.exe " + Wide(arguments);
    std::string output;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &winecfg)) {
        // Under Wine the pipe does not come to its end when winecfg exits: read what it holds.
        WaitForSingleObject(winecfg.hProcess, 30000);
        CloseHandle(winecfg.hProcess);
        CloseHandle(winecfg.hThread);
        char buffer[256];
        DWORD got = 0, waiting = 0;
        while (PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
               ReadFile(read, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            output.append(buffer, got);
        }
    }
    CloseHandle(write);
    CloseHandle(read);
    while (!output.empty() && isspace(static_cast<unsigned char>(output.back()))) output.pop_back();
    return output;
}

struct Entry {
    std::string number, name, versions, enabled, impact, value;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring id = std::to_wstring(GetCurrentProcessId()) + L"_" +
                                std::to_wstring(GetTickCount());
        folder_ = std::wstring(temp) + L"OrvikUi_" + id;
        keyPath_ = L"Software\\OrvikUiTest\\" + id;
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), (folder_ + L"\\Orvik.exe").c_str(), FALSE))
            << "Orvik.exe not found at " << ORVIK_EXE;
        entries_ = {
            {"1", "Low one", "All", "False", "Low", "One"},
            {"2", "High two", "All", "True", "High", "Two"},
            {"3", "Other Windows", "WindowsXP", "True", "High", "Three"},
            {"4", "High four", "All", "False", "HIGH", "Four"},
            {"5", "Medium five", "All", "True", "Medium", "Five"},
        };
        WriteCatalogue();
    }

    void TearDown() override {
        Stop();
        for (const wchar_t* name : {L"Orvik.exe", L"OrvikOptimizations.xml", L"SarnetLog.txt",
                                    L"OrvikOptimizations.xml.saving"}) {
            DeleteFileW((folder_ + L"\\" + name).c_str());
        }
        RemoveDirectoryW(folder_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, keyPath_.c_str());
    }

    void Stop() {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 9);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }

    void WriteCatalogue() {
        std::ostringstream xml;
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Optimizations>\n";
        for (const Entry& e : entries_) {
            xml << "<Item><Number>" << e.number << "</Number><Name>" << e.name
                << "</Name><Description>About " << e.name
                << "Justification:Because</Description><OSVersion>" << e.versions
                << "</OSVersion><Enabled>" << e.enabled << "</Enabled><Mode>HiDef</Mode><Impact>"
                << e.impact << "</Impact><Category>Storage</Category><RegistryEntries>"
                << "<RegistryEntry><Key>HKEY_CURRENT_USER\\"
                << std::string(keyPath_.begin(), keyPath_.end()) << "</Key><ValueName>"
                << e.value << "</ValueName><KeyType>DWORD</KeyType><Value>" << e.number
                << "</Value></RegistryEntry></RegistryEntries></Item>\n";
        }
        xml << "</Optimizations>\n";
        ASSERT_TRUE(WriteAll(Catalogue(), xml.str()));
    }

    std::wstring Catalogue() const { return folder_ + L"\\OrvikOptimizations.xml"; }

    // Number -> Enabled text, in file order, as the catalogue file holds them now.
    std::vector<std::pair<std::string, std::string>> FileFlags() {
        const std::string xml = ReadAll(Catalogue());
        auto value = [&](const std::string& tag, size_t from, size_t to) {
            const size_t open = xml.find("<" + tag + ">", from);
            if (open == std::string::npos || open > to) return std::string("?");
            const size_t start = open + tag.size() + 2;
            return xml.substr(start, xml.find("</" + tag + ">", start) - start);
        };
        std::vector<std::pair<std::string, std::string>> flags;
        for (size_t at = xml.find("<Item>"); at != std::string::npos;) {
            const size_t end = xml.find("</Item>", at);
            flags.emplace_back(value("Number", at, end), value("Enabled", at, end));
            at = xml.find("<Item>", end);
        }
        return flags;
    }

    void Start() {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + folder_ + L"\\Orvik.exe\"";
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   folder_.c_str(), &startup, &process_));
    }

    // A top-level window of the program: the splash has no caption bar, the others have one.
    HWND FindForm(const std::wstring& caption, bool withCaptionBar) {
        struct Search {
            DWORD pid;
            std::wstring caption;
            bool captionBar;
            HWND found;
        } search{process_.dwProcessId, caption, withCaptionBar, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM lParam) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lParam);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t text[256] = {};
                GetWindowTextW(hwnd, text, 256);
                const bool bar = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
                if (pid == s->pid && IsWindowVisible(hwnd) && s->caption == text &&
                    bar == s->captionBar) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    HWND Editor() {
        HWND editor = nullptr;
        WaitFor([&] { return (editor = FindForm(L"Orvik Optimizer", true)) != nullptr; });
        return editor;
    }

    HWND OpenEditor() {
        Start();
        HWND editor = Editor();
        // Wait until the list is filled.
        if (editor) {
            HWND list = FindWindowExW(editor, nullptr, WC_LISTVIEWW, nullptr);
            WaitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0; });
        }
        return editor;
    }

    static void Click(HWND control) {
        ASSERT_NE(control, nullptr);
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    }
    // A key pressed by the user, into the window that has the keyboard.
    static void PressKey(WORD key) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
    static void ClickButton(HWND editor, const wchar_t* picture) {
        Click(FindWindowExW(editor, nullptr, L"OrvikPicture", picture));
    }

    // The message box with this text; confirms it with OK. False when none came.
    bool Confirm(const wchar_t* text) {
        HWND box = nullptr;
        const bool came = WaitFor([&] {
            box = FindWindowW(L"#32770", L"Orvik Optimizer");
            return box && FindWindowExW(box, nullptr, L"Static", text);
        });
        if (came) PostMessageW(box, WM_COMMAND, IDOK, 0);
        return came;
    }

    std::vector<bool> Ticks(HWND editor) {
        HWND list = FindWindowExW(editor, nullptr, WC_LISTVIEWW, nullptr);
        std::vector<bool> ticks;
        const auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            const auto state = SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK);
            ticks.push_back(((state & LVIS_STATEIMAGEMASK) >> 12) == 2);
        }
        return ticks;
    }

    // The rows' texts. The list's item record must live in the program's own memory.
    std::vector<std::string> Texts(HWND editor) {
        struct Remote {
            LVITEMA item;
            char text[256];
        };
        HWND list = FindWindowExW(editor, nullptr, WC_LISTVIEWW, nullptr);
        auto* remote = static_cast<Remote*>(VirtualAllocEx(
            process_.hProcess, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
        std::vector<std::string> texts;
        const auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (int i = 0; remote && i < count; ++i) {
            Remote local{};
            local.item.pszText = remote->text;
            local.item.cchTextMax = sizeof(local.text);
            WriteProcessMemory(process_.hProcess, remote, &local, sizeof(local), nullptr);
            SendMessageW(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process_.hProcess, remote, &local, sizeof(local), nullptr);
            texts.emplace_back(local.text);
        }
        if (remote) VirtualFreeEx(process_.hProcess, remote, 0, MEM_RELEASE);
        return texts;
    }

    bool Tick(HWND editor, size_t row) {
        const std::vector<bool> ticks = Ticks(editor);
        return row < ticks.size() && ticks[row];
    }

    bool ValueWritten(const std::string& name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key) != 0)
            return false;
        const bool found =
            RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == 0;
        RegCloseKey(key);
        return found;
    }

    bool Ended(int milliseconds = 10000) {
        return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
    }

    std::wstring folder_;
    std::wstring keyPath_;
    std::vector<Entry> entries_;
    PROCESS_INFORMATION process_{};
};

using Flags = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST_F(ProgramTest, SplashHandsOverToTheEditorAfterTwoSeconds) {
    Start();
    HWND splash = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (splash = FindForm(L"Orvik Optimizer", false)); }));
    const auto shown = Clock::now();
    EXPECT_EQ(FindForm(L"Orvik Optimizer", true), nullptr);
    HWND editor = Editor();
    ASSERT_NE(editor, nullptr);
    const auto handedOver = Clock::now();
    EXPECT_GE(handedOver - shown, std::chrono::milliseconds(1500));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(splash); }, 3000));
    // The editor lists the entries for this Windows and no other.
    EXPECT_EQ(Ticks(editor), (std::vector<bool>{false, true, false, true}));
    // Closing the editor, the only window left, ends the program.
    PostMessageW(editor, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Ended());
    DWORD code = 1;
    GetExitCodeProcess(process_.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(ProgramTest, TickingARowAndSavingStoresItAndKeepsTheOtherWindowsEntries) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    // The keyboard is on the list, whose first row is current after loading: Space ticks it.
    // The keyboard is on the list, whose first row is current after loading: Space ticks it.
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return Tick(editor, 0); }));
    ClickButton(editor, L"imgSave");
    ASSERT_TRUE(Confirm(L"Saved"));
    EXPECT_EQ(FileFlags(), (Flags{{"1", "True"}, {"2", "True"}, {"3", "True"}, {"4", "False"},
                                  {"5", "True"}}));

    // File > Save does the same after the tick is taken back with the mouse's Unselect All.
    ClickButton(editor, L"imgUnselectAll");
    ASSERT_TRUE(WaitFor([&] { return !Tick(editor, 1); }));
    PostMessageW(editor, WM_COMMAND, kMenuSave, 0);
    ASSERT_TRUE(Confirm(L"Saved"));
    EXPECT_EQ(FileFlags(), (Flags{{"1", "False"}, {"2", "False"}, {"3", "True"}, {"4", "False"},
                                  {"5", "False"}}));
    ClickButton(editor, L"imgExit");
    EXPECT_TRUE(Ended());
}

TEST_F(ProgramTest, ByImpactHighThenSelectAllTicksOnlyTheHighEntries) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    PostMessageW(editor, WM_COMMAND, kMenuHigh, 0);
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor).size() == 2; }));
    EXPECT_EQ(Ticks(editor), (std::vector<bool>{true, false}));
    ClickButton(editor, L"imgSelectAll");
    ASSERT_TRUE(WaitFor([&] { return Ticks(editor) == std::vector<bool>{true, true}; }));
    ClickButton(editor, L"imgSave");
    ASSERT_TRUE(Confirm(L"Saved"));
    EXPECT_EQ(FileFlags(), (Flags{{"1", "False"}, {"2", "True"}, {"3", "True"}, {"4", "True"},
                                  {"5", "False"}}));
}

TEST_F(ProgramTest, RunAnsweredNoLeavesTheMachineAlone) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    ClickButton(editor, L"imgRun");
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (warning = FindForm(L"Warning!", true)); }));
    EXPECT_FALSE(IsWindowEnabled(editor));
    Click(FindWindowExW(warning, nullptr, L"OrvikLabel", L"No"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning); }));
    Sleep(500);
    EXPECT_EQ(FindWindowW(L"#32770", L"Orvik Optimizer"), nullptr);
    EXPECT_TRUE(IsWindowEnabled(editor));
    for (const char* name : {"One", "Two", "Three", "Four", "Five"}) {
        EXPECT_FALSE(ValueWritten(name)) << name;
    }
}

TEST_F(ProgramTest, RunAnsweredYesAppliesTheTickedEntriesAndSaysSo) {
    HWND editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    PostMessageW(editor, WM_COMMAND, kMenuRun, 0);
    HWND warning = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (warning = FindForm(L"Warning!", true)); }));
    Click(FindWindowExW(warning, nullptr, L"OrvikLabel", L"Yes"));
    ASSERT_TRUE(Confirm(L"Optimization Completed"));
    EXPECT_FALSE(ValueWritten("One"));
    EXPECT_TRUE(ValueWritten("Two"));
    EXPECT_FALSE(ValueWritten("Three"));  // meant for another Windows: not in the editor
    EXPECT_FALSE(ValueWritten("Four"));
    EXPECT_TRUE(ValueWritten("Five"));
    // The editor goes on after a run.
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(editor) != FALSE; }));
}

TEST_F(ProgramTest, EachWindowsIsOfferedItsOwnEntriesAllAndThoseOfTheVersionItWasTakenFor) {
    const std::vector<std::string> versions = {
        "Windows2000", "WindowsXP", "WindowsServer2003", "WindowsVista", "WindowsServer2008",
        "Windows7", "WindowsServer2003R2", "All", "Windows8", "WindowsServer2012",
        "WindowsServer2008R2", "Windows8.1", "WindowsServer2012R2", "Windows10",
        "WindowsServer2016", "WindowsServer2019", "WindowsServer2022", "Windows11",
        "WindowsServer2025"};
    entries_.clear();
    for (const std::string& version : versions) {
        entries_.push_back({std::to_string(entries_.size() + 1), version, version, "False", "Low",
                            version});
    }
    WriteCatalogue();

    // Wine 8 has no Windows 11, Server 2012 or Server 2016 and later.
    const struct {
        const char* wine;
        std::vector<std::string> listed;
    } rows[] = {
        {"win10", {"All", "Windows8", "Windows10"}},
        {"win81", {"All", "Windows8", "Windows8.1"}},
        {"win8", {"All", "Windows8"}},
        {"win7", {"Windows7", "All"}},
        {"win2008r2", {"WindowsServer2008", "All", "WindowsServer2008R2"}},
        {"win2008", {"WindowsServer2008", "All"}},
    };
    struct Restore {
        std::string version = Winecfg("-v");
        ~Restore() { Winecfg("-v " + version); }
    } restore;
    ASSERT_FALSE(restore.version.empty());
    for (const auto& row : rows) {
        Winecfg(std::string("-v ") + row.wine);
        ASSERT_EQ(Winecfg("-v"), row.wine);
        HWND editor = OpenEditor();
        ASSERT_NE(editor, nullptr) << row.wine;
        EXPECT_EQ(Texts(editor), row.listed) << row.wine;
        Stop();
    }
}
