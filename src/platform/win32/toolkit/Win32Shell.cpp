// The machine as the editor's Save and Export need it.

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/report/Win32ReportRenderer.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace win32 {
namespace {

std::string ErrorWords(uint32_t code) {
    const std::string text = SystemErrorText(code);
    return text.empty() ? "Error " + std::to_string(code) + "." : text;
}

class Win32Shell final : public Shell {
public:
    RenderedReport RenderReport(const std::string& cataloguePath,
                                const std::string& stylesheetPath) override {
        return win32::RenderReport(cataloguePath, stylesheetPath);
    }

    uint32_t OpenDocument(const std::string& path) override {
        const std::wstring file = Widen(path);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return GetLastError() ? GetLastError() : ERROR_NO_ASSOCIATION;
        return 0;
    }

    uint32_t WriteFileBytes(const std::string& path, const std::string& bytes) override {
        const std::wstring name = Widen(path);
        DWORD written = 0;
        {
            UniqueHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.Valid()) return GetLastError();
            if (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr) &&
                written == bytes.size()) {
                return 0;
            }
        }
        const DWORD error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        DeleteFileW(name.c_str());
        return error;
    }

    std::string TempFolder() override {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
        while (length > 3 && buffer[length - 1] == L'\\') --length;
        return Narrow(buffer, length);
    }

    // ShellExecuteEx (Windows XP and later) with the "runas" verb: the consent or credentials
    // prompt on Vista and later, the Run As dialog before. Declined, it fails with 1223, which
    // the editor reports as such.
    uint32_t StartSelfElevated() override {
        std::vector<wchar_t> path(MAX_PATH);
        DWORD length = 0;
        while ((length = GetModuleFileNameW(nullptr, path.data(),
                                            static_cast<DWORD>(path.size()))) == path.size()) {
            path.resize(path.size() * 2);
        }
        if (length == 0) return GetLastError();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOASYNC;
        info.lpVerb = L"runas";
        info.lpFile = path.data();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return GetLastError() ? GetLastError() : ERROR_CANCELLED;
        return 0;
    }

    uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
        const std::wstring source = Widen(from);
        {
            // The new contents reach the disk before the name points at them.
            UniqueHandle file(CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.Valid()) return GetLastError();
            FlushFileBuffers(file.Get());
        }
        if (!MoveFileExW(source.c_str(), Widen(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return GetLastError();
        }
        return 0;
    }

    void RemoveFile(const std::string& path) override { DeleteFileW(Widen(path).c_str()); }

    std::vector<std::string> FileNames(const std::string& folder) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.push_back(Narrow(found.cFileName, wcslen(found.cFileName)));
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    uint32_t ProbeWrite(const std::string& path) override {
        const std::wstring file = Widen(path);
        UniqueHandle probe(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return probe.Valid() ? 0 : GetLastError();
    }

    std::string ErrorText(uint32_t code) override { return ErrorWords(code); }
};

}  // namespace

std::unique_ptr<Shell> CreateShell() { return std::make_unique<Win32Shell>(); }

}  // namespace win32
