#pragma once
// Where the program may load libraries from: the system folder only, never its own folder or
// the current one, where someone who is not an administrator may have put a library of the
// same name.

#include <string>

namespace win32 {

// At start, before anything is loaded dynamically: later loads by name search the system
// folder only (SetDefaultDllDirectories where Windows has it) and never the current folder.
void RestrictLibrarySearch();

// A library of the system folder, loaded by its full path; null when it cannot be loaded.
void* LoadSystemLibrary(const std::wstring& name);

}  // namespace win32
