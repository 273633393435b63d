#include "platform/win32/process/Win32ProcessLauncher.h"

#include <windows.h>

#include <vector>

#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

// Both handles of a started process; the process runs on without us.
struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

}  // namespace

uint32_t Win32ProcessLauncher::Start(const std::string& commandLine, WindowStyle style) {
    // A NUL inside the text would cut the command short and start something else than asked.
    if (commandLine.find('\0') != std::string::npos) return ERROR_INVALID_PARAMETER;
    if (commandLine.empty()) return ERROR_FILE_NOT_FOUND;

    const std::wstring wide = Widen(commandLine);
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = style == WindowStyle::Hidden ? SW_HIDE : SW_SHOWNORMAL;

    ProcessHandles started;
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started.info)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_FILE_NOT_FOUND;
    }
    return 0;
}

std::string Win32ProcessLauncher::ErrorText(uint32_t code) { return SystemErrorText(code); }

std::string SystemErrorText(uint32_t code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) result = Narrow(text, length);
    if (text != nullptr) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}

}  // namespace win32
