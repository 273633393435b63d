#pragma once
// What every suite that starts our programs under Wine shares: the programs of this build, a
// scratch folder and a scratch registry key of their own, starting a program with a bound on
// every wait, its output, message boxes, the log and how a started program was shown.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/common/Handle.h"

namespace harness {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The tests run under the 64-bit Wine, where a 32-bit program, test or Orvik.exe of the same
// build, is a WOW64 process.
inline constexpr bool kWow64 = sizeof(void*) == 4;

// Programs of this build, named by their Linux paths: Wine shows the Linux root as drive Z.
fs::path FromBuild(const std::string& linuxPath);
// Writes how it was started to the file its one argument names; see StartedHow.
fs::path ShowStateProbe();

// Polls the condition until it holds or the time is up; its last answer.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s);

// Paths and the program's UTF-8 text.
fs::path Path(const std::string& utf8);
std::string Utf8(const fs::path& path);

// A folder of its own below the temp folder, removed with everything in it.
class Scratch {
public:
    explicit Scratch(const std::string& purpose);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    fs::path operator/(const std::string& name) const { return folder_ / Path(name); }
    const fs::path& Folder() const { return folder_; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;  // empty when missing
    bool Exists(const std::string& name) const;
    // Orvik.exe copied in, so that it finds its catalogue and writes its log here.
    fs::path CopyOrvik() const;
    // OrvikCli.exe copied in, likewise.
    fs::path CopyOrvikCli() const;

private:
    fs::path Copy(const std::string& built, const std::string& name) const;
    fs::path folder_;
};

// A program started with the argument text exactly as given after its quoted name, in another
// working folder than its own, its standard output and error going to files.
class Process {
public:
    // Started in workingFolder, else in a scratch folder of its own.
    Process(const fs::path& program, const std::string& arguments,
            const fs::path& workingFolder = {});
    ~Process();  // ends it when it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    DWORD Id() const { return info_.dwProcessId; }
    bool Running() const;
    // The exit code; nothing when it did not end in time, and then it is ended.
    std::optional<DWORD> Wait(std::chrono::milliseconds limit = 60s);
    std::string Out() const;
    std::string Err() const;

private:
    PROCESS_INFORMATION info_{};
    Scratch output_{"output"};
};

// A program run to its end within Process::Wait's bound: its exit code (-1 when it did not end
// in time) and its output.
struct Ran {
    int64_t code = -1;
    std::string out, err;
};
Ran RunToEnd(const fs::path& program, const std::string& arguments,
             const fs::path& workingFolder = {});

struct StoredValue {
    std::string name;
    DWORD type = 0;
    std::vector<uint8_t> data;  // text types as UTF-8 without the final NUL
};

// A key of its own below the root's Software key, removed from both views before and after.
// Reads see the 64-bit view, which is where the program writes, unless given KEY_WOW64_32KEY.
class ScratchKey {
public:
    explicit ScratchKey(const std::string& purpose, HKEY root = HKEY_CURRENT_USER);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    // Removes the key with everything below it.
    void Clear() const;
    // As a catalogue names it, root name first.
    std::string Name(const std::string& below = "") const;
    bool Exists(const std::string& below = "") const;
    std::vector<StoredValue> Values(const std::string& below = "",
                                    REGSAM view = KEY_WOW64_64KEY) const;
    std::optional<StoredValue> Read(const std::string& below, const std::string& name,
                                    REGSAM view = KEY_WOW64_64KEY) const;
    // A REG_DWORD, or -1 when there is none.
    int64_t Dword(const std::string& below, const std::string& name) const;
    // Stores text as REG_SZ in the key itself, in the view given.
    void Write(const std::string& name, const std::string& text, REGSAM view) const;
    // The key below its root, as the registry functions take it.
    std::wstring Path(const std::string& below = "") const;
    // The key with everything below it, as `reg export` writes it into the file.
    std::string Export(const fs::path& file) const;

private:
    win32::UniqueKey Open(const std::string& below, REGSAM view) const;  // none: no such key
    HKEY root_;
    std::wstring subKey_;
};

// Gives a file or folder this access list, written in SDDL ("D:(A;;FA;;;WD)"). Wine turns it into
// the Unix mode (Everyone into "others") and keeps nothing else of it.
void SetAccess(const fs::path& path, const wchar_t* dacl);

// Catalogue text: an element, a registry action, a command line, a WMI query, a whole catalogue
// around its items, and an enabled item for every Windows with its registry entries after the
// other fields given.
std::string Tag(const std::string& name, const std::string& content);
std::string RegistryEntry(const std::string& key, const std::string& name, const std::string& type,
                          const std::string& value);
std::string Command(const std::string& line);
std::string Query(const std::string& query, int warningLevel);
std::string Catalogue(const std::string& items);
std::string EnabledItem(const std::string& entries, const std::string& fields = "");

// winecfg's answer, trimmed ("-v" gives the prefix's Windows version, "-v win10" sets it).
// Wine keeps the version per prefix; winecfg also sets the product type, which the registry's
// Version value alone leaves as it was.
std::string Winecfg(const std::string& arguments);

// The prefix as another Windows version (winecfg's name: win7, win10...) while it lives.
class WineVersion {
public:
    explicit WineVersion(const std::string& name);
    ~WineVersion();
    WineVersion(const WineVersion&) = delete;
    WineVersion& operator=(const WineVersion&) = delete;
    bool Set() const { return set_; }

private:
    std::string before_ = Winecfg("-v");
    bool set_ = false;
};

// Whether this session can show windows at all (under Wine: an X display).
bool CanShowWindows();
std::vector<HWND> VisibleWindowsOf(DWORD process);
// A message box with the product's title (and this text, when given), once it has come.
HWND WaitForMessageBox(const std::string& text = "", std::chrono::milliseconds limit = 30s);
std::string MessageBoxText(HWND box);
void Press(HWND box, int button = IDOK);

// The log beside a program, line by line, each line checked to end in CR LF.
std::vector<std::string> LogLines(const fs::path& folder);
SYSTEMTIME LocalNow();
// The line without its date and time, when it starts with the user's short date straight
// followed by the time, as the platform formats them for some second from..to.
std::optional<std::string> WithoutStamp(const std::string& line, SYSTEMTIME from, SYSTEMTIME to);
// The log's lines, each without its date and time when they are of a second from..now.
std::vector<std::string> LogLinesSince(const fs::path& folder, SYSTEMTIME from);

// How the show-state probe found itself started: STARTF_USESHOWWINDOW set, and wShowWindow.
struct StartedHow {
    bool showWindowFlag = false;
    int showWindow = -1;
};
std::optional<StartedHow> WaitForProbe(const fs::path& file, std::chrono::milliseconds limit = 15s);
// A command line that starts the probe writing to file, after delay, then ending with exitCode.
std::string ProbeCommand(const fs::path& file, std::chrono::milliseconds delay = 0ms,
                         int exitCode = 0);

}  // namespace harness
