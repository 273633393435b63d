// The real Orvik.exe, started as a user would start it, on catalogues written beside a copy of
// it in a scratch folder: what it does to the registry, which processes it starts, what it logs.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/common/WideText.h"

namespace {

using namespace std::chrono_literals;

const std::wstring kTestKey = L"Software\\OrvikE2E";

using win32::Narrow;
using win32::Widen;

// The build's Orvik.exe, named by its Linux path: Wine shows the Linux root as drive Z.
std::wstring BuiltProgram() {
    std::wstring path = L"Z:" + Widen(ORVIK_EXE_PATH);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

// A DWORD under HKCU\Software\OrvikE2E, or -1 when it is not there.
int64_t ReadDword(const std::wstring& subKey, const std::wstring& name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    const std::wstring path = kTestKey + (subKey.empty() ? L"" : L"\\" + subKey);
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS) {
        return -1;
    }
    return value;
}

bool TestKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string SystemText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", n);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ')) {
        message.pop_back();
    }
    return Narrow(message);
}

struct Windows {
    DWORD process = 0;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* windows = reinterpret_cast<Windows*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == windows->process && IsWindowVisible(window)) windows->found.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD process) {
    Windows windows{process, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.found;
}

// Whether this session can show windows at all (under Wine: an X display).
bool CanShowWindows() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

class SilentRun : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"orvik-e2e-" +
                  Widen(::testing::UnitTest::GetInstance()->current_test_info()->name()) + L"-" +
                  std::to_wstring(GetCurrentProcessId());
        RemoveFolder();
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        exe_ = folder_ + L"\\Orvik.exe";
        ASSERT_TRUE(CopyFileW(BuiltProgram().c_str(), exe_.c_str(), FALSE))
            << "copy of " << Narrow(BuiltProgram());
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str());
    }

    void TearDown() override {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str());
        RemoveFolder();
    }

    void RemoveFolder() {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((folder_ + L"\\" + entry.cFileName).c_str());
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(folder_.c_str());
    }

    void WriteCatalogue(const std::string& items) {
        WriteFile(L"OrvikOptimizations.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Optimizations>\r\n" + items +
                      "</Optimizations>\r\n");
    }

    void WriteFile(const std::wstring& name, const std::string& bytes) {
        std::ofstream out(std::filesystem::path(folder_ + L"\\" + name), std::ios::binary);
        out << bytes;
    }

    // Starts Orvik.exe with the argument text exactly as given after its quoted name. Its
    // working folder is not its own: it must find its files beside itself.
    void Start(const std::string& arguments) {
        std::wstring line = L"\"" + exe_ + L"\"";
        if (!arguments.empty()) line += L" " + Widen(arguments);
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        ASSERT_TRUE(CreateProcessW(exe_.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, temp, &startup, &process_))
            << GetLastError();
    }

    // Waits for the program's end; its exit code, or -1 when it did not end in time.
    int64_t WaitForExit(DWORD milliseconds = 60000) {
        if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
        return code;
    }

    int64_t Run(const std::string& arguments) {
        Start(arguments);
        return WaitForExit();
    }

    std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }
    std::string NarrowPath(const std::wstring& name) const { return Narrow(Path(name)); }

    // A command that leaves a marker file in the scratch folder.
    std::string MarkerCommand(const std::string& name) const {
        return "cmd.exe /c echo started&gt; \"" + NarrowPath(Widen(name)) + "\"";
    }

    // The log's lines with the date and time in front of " Error " cut off; every line must
    // end with CR LF.
    std::vector<std::string> LogLines() const {
        std::ifstream in(std::filesystem::path(folder_ + L"\\SarnetLog.txt"), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back("<no CR LF>" + text.substr(start));
                break;
            }
            const std::string line = text.substr(start, end - start);
            const size_t error = line.find(" Error ");
            lines.push_back(error == std::string::npos ? "<no error>" + line : line.substr(error));
            start = end + 2;
        }
        return lines;
    }

    std::wstring folder_;
    std::wstring exe_;
    PROCESS_INFORMATION process_{};
};

std::string RegistryEntry(const std::string& key, const std::string& name, const std::string& type,
                          const std::string& value) {
    return "<RegistryEntry><Key>" + key + "</Key><ValueName>" + name + "</ValueName><KeyType>" +
           type + "</KeyType><Value>" + value + "</Value></RegistryEntry>";
}

std::string Item(bool enabled, const std::string& versions, const std::string& registry,
                 const std::string& commands = "", const std::string& queries = "") {
    return "<Item><Name>e2e</Name><OSVersion>" + versions + "</OSVersion><Enabled>" +
           (enabled ? "True" : "False") + "</Enabled><RegistryEntries>" + registry +
           "</RegistryEntries><CommandLines>" + commands + "</CommandLines><WMIQueries>" + queries +
           "</WMIQueries></Item>\r\n";
}

std::string Command(const std::string& line) {
    return "<CommandLine><Command>" + line + "</Command></CommandLine>";
}

std::string Query(const std::string& query, int level) {
    return "<WMIQuery><Command>" + query + "</Command><WarningLevel>" + std::to_string(level) +
           "</WarningLevel></WMIQuery>";
}

const std::string kKey = "HKEY_CURRENT_USER\\Software\\OrvikE2E";

TEST_F(SilentRun, RegistryFailureEndsOnlyThatEntrysRegistryEdits) {
    WriteCatalogue(
        Item(true, "All",
             RegistryEntry(kKey, "first", "DWORD", "&amp;H10") +
                 RegistryEntry("HKCU\\Software\\OrvikE2E", "second", "DWORD", "2") +
                 RegistryEntry(kKey, "third", "DWORD", "3"),
             Command(MarkerCommand("same-entry.txt"))) +
        Item(true, "All", RegistryEntry(kKey + "\\Next", "next", "BINARY", "01,02,ff") +
                              RegistryEntry(kKey + "\\Next", "text", "STRING", "tiny")));

    EXPECT_EQ(Run("-RUN"), 0);

    EXPECT_EQ(ReadDword(L"", L"first"), 16);
    EXPECT_EQ(ReadDword(L"", L"second"), -1);
    EXPECT_EQ(ReadDword(L"", L"third"), -1);
    BYTE bytes[8] = {};
    DWORD size = sizeof(bytes);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (kTestKey + L"\\Next").c_str(), L"next",
                           RRF_RT_REG_BINARY, nullptr, bytes, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[1], 0x02);
    EXPECT_EQ(bytes[2], 0xFF);
    wchar_t text[16] = {};
    size = sizeof(text);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, (kTestKey + L"\\Next").c_str(), L"text",
                           RRF_RT_REG_SZ, nullptr, text, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"tiny");
    EXPECT_TRUE(WaitFor([&] { return FileExists(Path(L"same-entry.txt")); }, 15s))
        << "the entry's command lines run after its registry edits failed";
    EXPECT_FALSE(FileExists(Path(L"SarnetLog.txt"))) << "registry edits log nothing";
}

TEST_F(SilentRun, MissingProgramBetweenTwoCommands) {
    const std::string missing = "C:\\orvik-nowhere\\missing.exe /quiet";
    WriteCatalogue(Item(true, "All", "",
                        Command(MarkerCommand("one.txt")) + Command(missing) +
                            Command(MarkerCommand("three.txt"))) +
                   Item(true, "All", "", Command(MarkerCommand("next.txt"))));

    EXPECT_EQ(Run("-RUN"), 0);

    EXPECT_TRUE(WaitFor([&] { return FileExists(Path(L"one.txt")); }, 15s));
    EXPECT_TRUE(WaitFor([&] { return FileExists(Path(L"next.txt")); }, 15s));
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(FileExists(Path(L"three.txt")));
    // Wine does not tell a missing program's 2 from a missing folder's 3 reliably.
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string tail = ": " + SystemText(2) + "Trace: Command: " + missing;
    const std::string tail3 = ": " + SystemText(3) + "Trace: Command: " + missing;
    EXPECT_TRUE(lines[0] == " Error 2, Source = Orvik.CmdRunner" + tail ||
                lines[0] == " Error 3, Source = Orvik.CmdRunner" + tail3)
        << lines[0];
}

TEST_F(SilentRun, RefusedQueryIsLoggedAndTheRunGoesOn) {
    WriteCatalogue(
        Item(true, "All", "", "",
             Query("SELECT * FROM Win32_OperatingSystem", 9999) + Query("SELEC broken", 1)) +
        Item(true, "All", RegistryEntry(kKey, "after", "DWORD", "1")));

    EXPECT_EQ(Run("-RUN"), 0);

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string head = " Error -2147217385, Source = Orvik.WMIRunner: ";
    const std::string tail = "Trace:  Command:SELEC broken";
    EXPECT_EQ(lines[0].substr(0, head.size()), head);
    ASSERT_GE(lines[0].size(), tail.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail);
    EXPECT_EQ(ReadDword(L"", L"after"), 1);
}

TEST_F(SilentRun, WarningBoxHaltsTheRunUntilConfirmed) {
    if (!CanShowWindows()) GTEST_SKIP() << "no display: message boxes return at once";
    const std::string query = "SELECT * FROM Win32_OperatingSystem";
    WriteCatalogue(Item(true, "All", "", "", Query(query, 1)) +
                   Item(true, "All", RegistryEntry(kKey, "after", "DWORD", "7")));

    Start("-RUN");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (box = FindWindowW(L"#32770", L"Orvik Optimizer")) != nullptr; }, 30s));
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    EXPECT_EQ(Narrow(text), query + " Was more then or equal to 1");
    // The run waits for the user: still running, the next entry not applied yet.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(WaitForSingleObject(process_.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReadDword(L"", L"after"), -1);

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(ReadDword(L"", L"after"), 7);
    EXPECT_FALSE(FileExists(Path(L"SarnetLog.txt")));
}

TEST_F(SilentRun, DisabledEntriesAreSkippedOtherVersionsApplied) {
    WriteCatalogue(Item(false, "All", RegistryEntry(kKey, "disabled", "DWORD", "1"),
                        Command(MarkerCommand("disabled.txt"))) +
                   Item(true, "WindowsXP WindowsServer2003R2",
                        RegistryEntry(kKey, "otherVersion", "DWORD", "2")) +
                   Item(true, "Windows2000", RegistryEntry(kKey, "old", "DWORD", "3")));

    EXPECT_EQ(Run("-run"), 0);  // any letter case

    EXPECT_EQ(ReadDword(L"", L"disabled"), -1);
    EXPECT_EQ(ReadDword(L"", L"otherVersion"), 2);
    EXPECT_EQ(ReadDword(L"", L"old"), 3);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(FileExists(Path(L"disabled.txt")));
}

TEST_F(SilentRun, MissingOrBrokenCatalogueEndsQuietly) {
    EXPECT_EQ(Run("-RUN"), 0);
    WriteFile(L"OrvikOptimizations.xml",
              "<Optimizations><Item><Enabled>True</Enabled><RegistryEntries><RegistryEntry>"
              "<Key>" + kKey + "</Key><ValueName>broken</ValueName><Value>1</Value>");
    EXPECT_EQ(Run("-RUN"), 0);
    EXPECT_FALSE(TestKeyExists());
    EXPECT_FALSE(FileExists(Path(L"SarnetLog.txt")));
}

TEST_F(SilentRun, RunWithMoreTextOpensAWindowInstead) {
    WriteCatalogue(Item(true, "All", RegistryEntry(kKey, "never", "DWORD", "1")));
    const bool display = CanShowWindows();

    Start("-RUN extra");
    if (display) {
        std::vector<HWND> windows;
        ASSERT_TRUE(WaitFor(
            [&] { return !(windows = VisibleWindowsOf(process_.dwProcessId)).empty(); }, 30s));
        EXPECT_FALSE(TestKeyExists());
        // Close whatever it shows until it ends.
        EXPECT_TRUE(WaitFor(
            [&] {
                for (HWND window : VisibleWindowsOf(process_.dwProcessId)) {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
                return WaitForSingleObject(process_.hProcess, 200) == WAIT_OBJECT_0;
            },
            30s));
    } else {
        // Without a display no window can open and the program ends by itself.
        EXPECT_NE(WaitForExit(), -1);
    }
    EXPECT_FALSE(TestKeyExists());
    EXPECT_FALSE(FileExists(Path(L"SarnetLog.txt")));
}

}  // namespace
