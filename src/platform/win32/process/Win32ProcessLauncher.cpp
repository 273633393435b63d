#include "platform/win32/process/Win32ProcessLauncher.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/process/OutputPipes.h"
#include "platform/win32/security/Win32FileSecurity.h"

namespace win32 {
namespace {

// The standard handles a command gets; none for a window of the user's.
struct StandardHandles {
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE errors = nullptr;
};

// Enter and Leave around the creation, however it ends.
class Scoped {
public:
    explicit Scoped(StartScope* scope) : scope_(scope) {
        if (scope_) scope_->Enter();
    }
    ~Scoped() {
        if (scope_) scope_->Leave();
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

private:
    StartScope* scope_;
};

bool FullPath(const std::wstring& name) {
    const bool drive = name.size() >= 3 && name[1] == L':' && name[2] == L'\\';
    return drive || name.rfind(L"\\\\", 0) == 0;
}

std::wstring Folder(UINT (*query)(wchar_t*, UINT)) {
    wchar_t buffer[MAX_PATH + 1];
    const UINT length = query(buffer, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

UINT SystemFolder(wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); }
UINT WindowsFolder(wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); }

// name (a program not named by a full path) in the system folder or the Windows folder.
std::optional<std::wstring> InSystemFolders(const std::wstring& name) {
    // Nothing that climbs out of the folder, and nothing relative to a drive's current folder.
    if (name.empty() || name.find(L"..") != std::wstring::npos ||
        name.find_first_of(L":/") != std::wstring::npos || name[0] == L'\\') {
        return std::nullopt;
    }
    const size_t last = name.find_last_of(L'\\');
    const bool extension =
        name.find(L'.', last == std::wstring::npos ? 0 : last) != std::wstring::npos;
    for (const auto query : {SystemFolder, WindowsFolder}) {
        const std::wstring folder = Folder(query);
        if (folder.empty()) continue;
        const std::wstring file = folder + L"\\" + name + (extension ? L"" : L".exe");
        const DWORD attributes = GetFileAttributesW(file.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return file;
        }
    }
    return std::nullopt;
}

// The command line with its program found in the system folders and named by its full path, as
// process start parses it: a quoted first token, or else each run of words up to a blank, the
// shortest first. Unchanged when it names a full path; nothing when no program is found.
std::optional<std::wstring> FromSystemFolders(const std::wstring& line) {
    const size_t start = line.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return line;
    const bool quoted = line[start] == L'"';
    const size_t from = quoted ? start + 1 : start;
    std::vector<size_t> ends;
    if (quoted) {
        ends.push_back(std::min(line.find(L'"', from), line.size()));
    } else {
        for (size_t blank = line.find_first_of(L" \t", from);;
             blank = line.find_first_of(L" \t", blank + 1)) {
            ends.push_back(std::min(blank, line.size()));
            if (blank == std::wstring::npos) break;
        }
    }
    if (FullPath(line.substr(from, ends.front() - from))) return line;
    for (const size_t end : ends) {
        if (const auto file = InSystemFolders(line.substr(from, end - from))) {
            const size_t rest = quoted ? std::min(end + 1, line.size()) : end;
            return L"\"" + *file + L"\"" + line.substr(rest);
        }
    }
    return std::nullopt;
}

// The null device, inheritable, as a command's standard handles when nobody reads them.
UniqueHandle NullDevice() {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return UniqueHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                    nullptr));
}

struct Creation {
    bool hidden = true;
    bool systemFoldersOnly = false;
    StartScope* scope = nullptr;
    StandardHandles handles;
};

// The process and its first thread, or the Windows error code.
uint32_t Create(const std::string& commandLine, const Creation& how, UniqueHandle& process) {
    // A NUL inside the text would cut the command short and start something else than asked.
    if (commandLine.find('\0') != std::string::npos) return ERROR_INVALID_PARAMETER;
    if (commandLine.empty()) return ERROR_FILE_NOT_FOUND;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // Without this flag the child ignores wShowWindow and opens its window as it likes.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = how.hidden ? SW_HIDE : SW_SHOWNORMAL;
    const bool handles = how.handles.input != nullptr;
    if (handles) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = how.handles.input;
        startup.hStdOutput = how.handles.output;
        startup.hStdError = how.handles.errors;
    }
    // A console program gets no console of its own, nor ours.
    const DWORD flags = how.hidden ? CREATE_NO_WINDOW : 0;
    PROCESS_INFORMATION started{};
    const Scoped scope(how.scope);
    std::wstring line = Widen(commandLine);
    if (how.systemFoldersOnly) {
        const auto found = FromSystemFolders(line);
        if (!found) return ERROR_FILE_NOT_FOUND;
        line = *found;
    }
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, handles ? TRUE : FALSE, flags,
                        nullptr, nullptr, &startup, &started)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_FILE_NOT_FOUND;
    }
    UniqueHandle thread(started.hThread);
    process = UniqueHandle(started.hProcess);
    return 0;
}

}  // namespace

bool Win32ProcessLauncher::SystemFoldersOnly() {
    if (lookup_ == ProgramLookup::SystemFoldersWhenElevated) {
        lookup_ = Win32FileSecurity().IsElevated() ? ProgramLookup::SystemFoldersOnly
                                                   : ProgramLookup::AsProcessStartSearches;
    }
    return lookup_ == ProgramLookup::SystemFoldersOnly;
}

uint32_t Win32ProcessLauncher::Start(const std::string& commandLine, WindowStyle style,
                                     StartScope* scope) {
    const bool hidden = style == WindowStyle::Hidden;
    Creation how{hidden, SystemFoldersOnly(), scope, {}};
    // Nobody reads a command that is not awaited: the null device rather than our console.
    const UniqueHandle null = hidden ? NullDevice() : UniqueHandle();
    if (null.Valid()) how.handles = {null.Get(), null.Get(), null.Get()};
    // The process runs on without us.
    UniqueHandle process;
    return Create(commandLine, how, process);
}

uint32_t Win32ProcessLauncher::StartAndWait(const std::string& commandLine, WindowStyle style,
                                            StartScope* scope, std::chrono::milliseconds limit,
                                            Ending& ending) {
    ending = {};
    OutputPipes pipes;
    if (const uint32_t failed = pipes.Open()) return failed;
    const UniqueHandle null = NullDevice();
    if (!null.Valid()) return GetLastError();
    const Creation how{style == WindowStyle::Hidden,
                       SystemFoldersOnly(),
                       scope,
                       {null.Get(), pipes.OutputEnd(), pipes.ErrorEnd()}};
    UniqueHandle process;
    if (const uint32_t failed = Create(commandLine, how, process)) return failed;
    // INFINITE is no bound: the longest wait that is one ends just before it.
    const auto bound = static_cast<DWORD>(
        std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, INFINITE - 1));
    bool ended = false;
    if (const uint32_t failed = pipes.Drain(process.Get(), bound, ended)) return failed;
    ending.output = pipes.Output();
    ending.errors = pipes.Errors();
    if (!ended) return 0;  // closing our handle leaves the process running
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code)) return GetLastError();
    ending.inTime = true;
    ending.exitCode = code;
    return 0;
}

std::string Win32ProcessLauncher::ErrorText(uint32_t code) { return SystemErrorText(code); }

}  // namespace win32
