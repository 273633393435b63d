#include "platform/win32/common/Process.h"

#include <windows.h>

#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

uint32_t StartProcess(const std::string& commandLine, bool hidden) {
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
    // The process runs on without us.
    UniqueHandle process(started.hProcess), thread(started.hThread);
    return 0;
}

}  // namespace win32
