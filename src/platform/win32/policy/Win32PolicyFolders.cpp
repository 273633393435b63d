#include "platform/win32/policy/Win32PolicyFolders.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WholeFile.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

bool EndsWithAnyCase(const std::wstring& name, const std::wstring& suffix) {
    if (name.size() < suffix.size()) return false;
    return CompareStringOrdinal(name.c_str() + name.size() - suffix.size(),
                                static_cast<int>(suffix.size()), suffix.c_str(),
                                static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL;
}

// The basic level (no short names) is faster but Windows 7 and later only: where it fails, for
// whatever reason Vista or Server 2008 gives, the standard level is asked once more.
HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& found) {
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) return search;
    return FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch,
                            nullptr, 0);
}

}  // namespace

std::string Win32PolicyFolders::DefaultFolder() {
    wchar_t root[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) length = GetWindowsDirectoryW(root, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "C:\\Windows\\PolicyDefinitions";
    std::string folder = Narrow(root, length);
    if (folder.back() != '\\') folder += '\\';
    return folder + "PolicyDefinitions";
}

std::optional<std::vector<std::string>> Win32PolicyFolders::FileNames(const std::string& folder,
                                                                      const std::string& suffix) {
    const std::wstring pattern =
        Widen(folder + (folder.empty() || folder.back() == '\\' ? "" : "\\") + "*");
    const std::wstring wantedEnd = Widen(suffix);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirst(pattern, found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::string> names;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            EndsWithAnyCase(name, wantedEnd)) {
            names.push_back(Narrow(name));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> Win32PolicyFolders::Read(const std::string& path, std::string& why) {
    uint32_t error = 0;
    std::optional<std::string> bytes = ReadWholeFile(path, FILE_SHARE_READ, error);
    if (!bytes) why = SystemErrorText(error);
    if (!bytes && why.empty()) why = "error " + std::to_string(error);
    return bytes;
}

std::vector<std::string> Win32PolicyFolders::Languages() {
    ULONG count = 0;
    ULONG size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) {
        return {};
    }
    std::wstring list(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, list.data(), &size)) return {};
    std::vector<std::string> languages;
    for (const wchar_t* name = list.c_str(); *name; name += wcslen(name) + 1) {
        languages.push_back(Narrow(name, wcslen(name)));
    }
    return languages;
}

}  // namespace win32
