#include "platform/win32/common/Process.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

// The process and its first thread, or the Windows error code.
uint32_t Create(const std::string& commandLine, bool hidden, UniqueHandle& process) {
    // A NUL inside the text would cut the command short and start something else than asked.
    if (commandLine.find('\0') != std::string::npos) return ERROR_INVALID_PARAMETER;
    if (commandLine.empty()) return ERROR_FILE_NOT_FOUND;

    // CreateProcessW may write into the command line, so it gets its own buffer.
    const std::wstring wide = Widen(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // Without this flag the child ignores wShowWindow and opens its window as it likes.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_FILE_NOT_FOUND;
    }
    UniqueHandle thread(started.hThread);
    process = UniqueHandle(started.hProcess);
    return 0;
}

}  // namespace

uint32_t StartProcess(const std::string& commandLine, bool hidden) {
    // The process runs on without us.
    UniqueHandle process;
    return Create(commandLine, hidden, process);
}

uint32_t StartProcessAndWait(const std::string& commandLine, bool hidden,
                             std::chrono::milliseconds limit, std::optional<uint32_t>& exitCode) {
    exitCode.reset();
    UniqueHandle process;
    if (const uint32_t failed = Create(commandLine, hidden, process)) return failed;
    // INFINITE is no bound: the longest wait that is one ends just before it.
    const auto bound = static_cast<DWORD>(
        std::clamp<std::chrono::milliseconds::rep>(limit.count(), 0, INFINITE - 1));
    const DWORD waited = WaitForSingleObject(process.Get(), bound);
    if (waited == WAIT_TIMEOUT) return 0;  // closing our handle leaves the process running
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &code)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_INVALID_HANDLE;
    }
    exitCode = code;
    return 0;
}

}  // namespace win32
