#include "platform/win32/console/Win32Console.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WholeFile.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/Win32FileSecurity.h"

namespace win32 {
namespace {

uint32_t WriteFailure() { return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT; }

// Until everything is written or the file refuses more.
bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    for (size_t at = 0; at < bytes.size(); at += written) {
        if (!WriteFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written,
                       nullptr) ||
            written == 0) {
            return false;
        }
    }
    return true;
}

// 0, or the error that refused the text.
uint32_t Write(DWORD which, const std::string& text, bool asText = true) {
    HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE || text.empty()) return 0;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(stream, &mode)) {
        const std::wstring wide = Widen(text);
        // Older consoles refuse very large writes: a piece at a time.
        for (size_t at = 0; at < wide.size(); at += 8192) {
            const auto count = static_cast<DWORD>(std::min<size_t>(8192, wide.size() - at));
            if (!WriteConsoleW(stream, wide.data() + at, count, &written, nullptr)) {
                return WriteFailure();
            }
        }
        return 0;
    }
    if (!asText) return WriteAll(stream, text) ? 0 : WriteFailure();
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    // A closed pipe fails too: nobody got the whole of it.
    return WriteAll(stream, bytes) ? 0 : WriteFailure();
}

class Win32OutputFile final : public OutputFile {
public:
    explicit Win32OutputFile(HANDLE file) : file_(file) {}
    uint32_t Write(const std::string& bytes) override {
        return WriteAll(file_.Get(), bytes) ? 0 : WriteFailure();
    }
    uint32_t Flush() override { return FlushFileBuffers(file_.Get()) ? 0 : WriteFailure(); }

private:
    UniqueHandle file_;
};

// A folder that a function fills in, with a buffer as long as it asks for.
template <typename Fill>
std::string Folder(Fill fill) {
    std::wstring buffer(MAX_PATH, L'\0');
    UINT length = fill(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length);
        length = fill(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    return length == 0 || length >= buffer.size() ? std::string() : Narrow(buffer.data(), length);
}

}  // namespace

std::vector<std::string> ProcessArguments() {
    int count = 0;
    const LocalMemory<wchar_t**> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> result;
    for (int i = 1; arguments.Valid() && i < count; ++i) {
        result.push_back(Narrow(arguments.Get()[i]));
    }
    return result;
}

uint32_t Win32Console::Out(const std::string& text) { return Write(STD_OUTPUT_HANDLE, text); }

void Win32Console::Err(const std::string& text) { Write(STD_ERROR_HANDLE, text); }

uint32_t Win32Console::OutBytes(const std::string& bytes) {
    return Write(STD_OUTPUT_HANDLE, bytes, false);
}

std::unique_ptr<OutputFile> Win32ConsoleFiles::Create(const std::string& path, bool replace,
                                                      uint32_t& error) {
    // Others may read it while it is written: a journal can be watched as the run goes.
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              replace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    error = 0;
    return std::make_unique<Win32OutputFile>(file);
}

std::optional<std::string> Win32ConsoleFiles::Read(const std::string& path, uint32_t& error) {
    // A journal may still be open for writing: a run that goes on, or one that was killed.
    return ReadWholeFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE, error);
}

// CreateDirectoryW (Windows XP): default security, that is the parent's inherited access list.
uint32_t Win32ConsoleFiles::MakeFolder(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (CreateDirectoryW(wide.c_str(), nullptr)) return 0;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return error == ERROR_ALREADY_EXISTS && folder ? 0 : error;
}

void Win32ConsoleFiles::Remove(const std::string& path) { DeleteFileW(Widen(path).c_str()); }

std::string Win32ConsoleFiles::ErrorText(uint32_t code) { return FileErrorText(code); }

std::vector<std::string> Win32ProgramSearch::SearchFolders() {
    // Elevated, a run looks in the system folders alone (Win32ProcessLauncher), and so does this.
    if (Win32FileSecurity().IsElevated()) {
        return {Folder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }),
                Folder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); })};
    }
    std::vector<std::string> folders;
    std::wstring program(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), 32768);
    program.resize(length);
    folders.push_back(Narrow(program.substr(0, program.find_last_of(L'\\'))));
    folders.push_back(Folder([](wchar_t* b, UINT n) { return GetCurrentDirectoryW(n, b); }));
    folders.push_back(Folder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }));
    const std::string windows =
        Folder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
    folders.push_back(windows + "\\System");
    folders.push_back(windows);

    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(size, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), size));
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring folder = path.substr(start, end - start);
        std::erase(folder, L'"');
        if (!folder.empty()) folders.push_back(Narrow(folder));
        start = end + 1;
    }
    return folders;
}

bool Win32ProgramSearch::IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace win32
