#include "Harness.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/ProductName.h"
#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace harness {
namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Unique among the suites that run at the same time: this process and a serial number.
std::string UniqueName(const std::string& purpose) {
    static int serial = 0;
    return std::string("Orvik-") + purpose + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial);
}

// Removes a key with everything below it from both registry views.
void RemoveKey(HKEY root, const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        win32::UniqueKey key;
        if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | view, key.Put()) != 0) {
            continue;
        }
        RegDeleteTreeW(key.Get(), path.substr(slash + 1).c_str());
    }
}

}  // namespace

fs::path Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromBuild(const std::string& linuxPath) {
    std::string path = std::string("Z:") + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return Path(path);
}

fs::path ShowStateProbe() { return FromBuild(ORVIK_PROBE_PATH); }

void SetAccess(const fs::path& path, const wchar_t* dacl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL list = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
    EXPECT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr),
              0u);
    LocalFree(descriptor);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

Scratch::Scratch(const std::string& purpose)
    : folder_(fs::temp_directory_path() / UniqueName(purpose)) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
}

Scratch::~Scratch() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void Scratch::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(*this / name, std::ios::binary) << bytes;
}

std::string Scratch::Read(const std::string& name) const { return ReadFile(*this / name); }

bool Scratch::Exists(const std::string& name) const { return fs::exists(*this / name); }

fs::path Scratch::CopyOrvik() const { return Copy(ORVIK_EXE_PATH, "Orvik.exe"); }
fs::path Scratch::CopyOrvikCli() const { return Copy(ORVIK_CLI_EXE_PATH, "OrvikCli.exe"); }

fs::path Scratch::Copy(const std::string& built, const std::string& name) const {
    fs::copy_file(FromBuild(built), *this / name, fs::copy_options::overwrite_existing);
    return *this / name;
}

Process::Process(const fs::path& program, const std::string& arguments,
                 const fs::path& workingFolder) {
    std::wstring line = std::wstring(L"\"") + program.wstring() + L"\"";
    if (!arguments.empty()) line += std::wstring(L" ") + win32::Widen(arguments);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    auto capture = [&](const char* name) {
        return win32::UniqueHandle(CreateFileW((output_ / name).c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                               nullptr));
    };
    const win32::UniqueHandle out = capture("out"), err = capture("err");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    // Its own folder is not its working folder: it must find its files beside itself. A bare
    // name is looked for where Windows looks for programs.
    const fs::path folder = workingFolder.empty() ? output_.Folder() : workingFolder;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                        &startup, &info_)) {
        ADD_FAILURE() << "could not start " << Utf8(program) << ": " << GetLastError();
    }
}

Process::~Process() {
    Wait(0ms);  // ends it when it still runs
    win32::UniqueHandle process(info_.hProcess), thread(info_.hThread);
}

bool Process::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::Wait(std::chrono::milliseconds limit) {
    if (!info_.hProcess) return std::nullopt;
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 10000);
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

std::string Process::Out() const { return output_.Read("out"); }
std::string Process::Err() const { return output_.Read("err"); }

Ran RunToEnd(const fs::path& program, const std::string& arguments, const fs::path& workingFolder) {
    Process process(program, arguments, workingFolder);
    const std::optional<DWORD> code = process.Wait();
    return {code ? static_cast<int64_t>(*code) : -1, process.Out(), process.Err()};
}

ScratchKey::ScratchKey(const std::string& purpose, HKEY root)
    : root_(root), subKey_(std::wstring(L"Software\\") + win32::Widen(UniqueName(purpose))) {
    Clear();
}

ScratchKey::~ScratchKey() { Clear(); }

void ScratchKey::Clear() const { RemoveKey(root_, subKey_); }

std::wstring ScratchKey::Path(const std::string& below) const {
    return below.empty() ? subKey_ : subKey_ + L"\\" + win32::Widen(below);
}

std::string ScratchKey::Export(const fs::path& file) const {
    fs::remove(file);
    Process reg("reg.exe", "export \"" + Name() + "\" \"" + Utf8(file) + "\" /y");
    EXPECT_EQ(reg.Wait(), 0u);
    return ReadFile(file);
}

std::string ScratchKey::Name(const std::string& below) const {
    const char* rootName =
        root_ == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
    return rootName + win32::Narrow(Path(below));
}

win32::UniqueKey ScratchKey::Open(const std::string& below, REGSAM view) const {
    win32::UniqueKey key;
    RegOpenKeyExW(root_, Path(below).c_str(), 0, KEY_READ | view, key.Put());
    return key;
}

bool ScratchKey::Exists(const std::string& below) const {
    return Open(below, KEY_WOW64_64KEY).Valid();
}

void ScratchKey::Write(const std::string& name, const std::string& text, REGSAM view) const {
    win32::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.Put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring wide = win32::Widen(text);
    EXPECT_EQ(RegSetValueExW(key.Get(), win32::Widen(name).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(wide.c_str()),
                             static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

std::vector<StoredValue> ScratchKey::Values(const std::string& below, REGSAM view) const {
    std::vector<StoredValue> values;
    const win32::UniqueKey key = Open(below, view);
    if (!key.Valid()) return values;
    std::vector<wchar_t> name(16384);
    std::vector<uint8_t> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        StoredValue value;
        if (RegEnumValueW(key.Get(), i, name.data(), &nameLength, nullptr, &value.type, data.data(),
                          &size) != ERROR_SUCCESS) {
            break;
        }
        value.name = win32::Narrow(name.data(), nameLength);
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
            std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / 2);
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            const std::string utf8 = win32::Narrow(text);
            value.data.assign(utf8.begin(), utf8.end());
        } else {
            value.data.assign(data.begin(), data.begin() + size);
        }
        values.push_back(value);
    }
    return values;
}

std::optional<StoredValue> ScratchKey::Read(const std::string& below, const std::string& name,
                                            REGSAM view) const {
    for (const StoredValue& value : Values(below, view)) {
        if (_wcsicmp(win32::Widen(value.name).c_str(), win32::Widen(name).c_str()) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

int64_t ScratchKey::Dword(const std::string& below, const std::string& name) const {
    const auto value = Read(below, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return -1;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
           static_cast<int64_t>(value->data[3]) << 24;
}

std::string Tag(const std::string& name, const std::string& content) {
    return "<" + name + ">" + content + "</" + name + ">";
}

std::string RegistryEntry(const std::string& key, const std::string& name, const std::string& type,
                          const std::string& value) {
    return Tag("RegistryEntry", Tag("Key", key) + Tag("ValueName", name) + Tag("KeyType", type) +
                                    Tag("Value", value));
}

std::string Command(const std::string& line) { return Tag("CommandLine", Tag("Command", line)); }

std::string Query(const std::string& query, int warningLevel) {
    return Tag("WMIQuery",
               Tag("Command", query) + Tag("WarningLevel", std::to_string(warningLevel)));
}

std::string Catalogue(const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + Tag("Optimizations", items) + "\n";
}

std::string EnabledItem(const std::string& entries, const std::string& fields) {
    return Tag("Item", Tag("Enabled", "True") + Tag("OSVersion", "All") + fields +
                           Tag("RegistryEntries", entries));
}

std::string Winecfg(const std::string& arguments) {
    Process winecfg("winecfg.exe", arguments);
    winecfg.Wait(30s);
    std::string answer = winecfg.Out();
    while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back()))) {
        answer.pop_back();
    }
    return answer;
}

WineVersion::WineVersion(const std::string& name) {
    Winecfg("-v " + name);
    set_ = !before_.empty() && Winecfg("-v") == name;
}

WineVersion::~WineVersion() {
    if (!before_.empty()) Winecfg("-v " + before_);
}

bool CanShowWindows() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

namespace {

struct WindowSearch {
    DWORD process;
    std::vector<HWND> found;
};

// A named callback: the 32-bit platform calls it with its own calling convention.
BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindowsOf(DWORD process) {
    WindowSearch search{process, {}};
    EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForMessageBox(const std::string& text, std::chrono::milliseconds limit) {
    HWND box = nullptr;
    const auto come = [&] {
        box = FindWindowW(L"#32770", win32::Widen(kProductName).c_str());
        return box && (text.empty() || MessageBoxText(box) == text);
    };
    return WaitFor(come, limit) ? box : nullptr;
}

std::string MessageBoxText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the box's static text
    return win32::Narrow(text);
}

void Press(HWND box, int button) { PostMessageW(box, WM_COMMAND, button, 0); }

std::vector<std::string> LogLines(const fs::path& folder) {
    const std::string text = ReadFile(folder / "SarnetLog.txt");
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(std::string("<no CR LF>") + text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

SYSTEMTIME LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

std::optional<std::string> WithoutStamp(const std::string& line, SYSTEMTIME from, SYSTEMTIME to) {
    auto ticks = [](const SYSTEMTIME& time) {
        FILETIME file;
        SystemTimeToFileTime(&time, &file);
        return static_cast<uint64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
    };
    constexpr uint64_t kSecond = 10000000;
    for (uint64_t at = ticks(from) / kSecond * kSecond; at <= ticks(to); at += kSecond) {
        const FILETIME file{static_cast<DWORD>(at), static_cast<DWORD>(at >> 32)};
        SYSTEMTIME moment;
        FileTimeToSystemTime(&file, &moment);
        wchar_t date[128] = {}, time[128] = {};
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, date, 128);
        GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, time, 128);
        // The log is in the system's 8-bit code page.
        const std::wstring wide = std::wstring(date) + time;
        std::string stamp(wide.size() * 4, '\0');
        stamp.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         stamp.data(), static_cast<int>(stamp.size()), nullptr,
                                         nullptr));
        if (line.rfind(stamp, 0) == 0) return line.substr(stamp.size());
    }
    return std::nullopt;
}

std::vector<std::string> LogLinesSince(const fs::path& folder, SYSTEMTIME from) {
    std::vector<std::string> lines = LogLines(folder);
    const SYSTEMTIME to = LocalNow();
    for (std::string& line : lines) line = WithoutStamp(line, from, to).value_or(line);
    return lines;
}

std::optional<StartedHow> WaitForProbe(const fs::path& file, std::chrono::milliseconds limit) {
    StartedHow how;
    int flag = 0;
    // The probe writes its one line under another name and then renames it; under load Wine has
    // been seen to show the name before the line reads, so the wait is for the whole line.
    const auto read = [&] {
        return static_cast<bool>(std::ifstream(file) >> flag >> how.showWindow);
    };
    if (!WaitFor(read, limit)) return std::nullopt;
    how.showWindowFlag = flag != 0;
    return how;
}

std::string ProbeCommand(const fs::path& file, std::chrono::milliseconds delay, int exitCode) {
    // Appended piece by piece: GCC 12 warns falsely about a chain of + on strings here.
    std::string command = "\"";
    command.append(Utf8(ShowStateProbe())).append("\" \"").append(Utf8(file)).append("\"");
    if (delay.count() != 0 || exitCode != 0) {
        command.append(" ").append(std::to_string(delay.count()));
    }
    if (exitCode != 0) command.append(" ").append(std::to_string(exitCode));
    return command;
}

}  // namespace harness
