#include "platform/win32/security/LibrarySearch.h"

#include <windows.h>

namespace win32 {

void RestrictLibrarySearch() {
    // Windows 8, and Windows 7 or Vista with KB2533623; earlier Windows keeps the search order
    // without the current folder (below) and loads what this program loads by full path.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The empty text takes the current folder out of the search.
    SetDllDirectoryW(L"");
}

void* LoadSystemLibrary(const std::wstring& name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr, 0);
}

}  // namespace win32
