#pragma once
// Finds when a started program's editor takes input: a visible top-level window of that process
// with a menu bar (the splash has none) that answers a message within a short wait.

#include <windows.h>

namespace bench {

// The first visible top-level window of the process that has a menu bar; null when none.
HWND FindEditorWindow(DWORD processId);
// The first visible top-level window of the process, whatever it is; null when none.
HWND FindAnyWindow(DWORD processId);
// True when the window's thread handles a message within timeoutMs.
bool Answers(HWND window, UINT timeoutMs);

}  // namespace bench
