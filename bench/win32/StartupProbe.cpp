#include "bench/win32/StartupProbe.h"

namespace bench {
namespace {

struct Search {
    DWORD processId;
    bool needMenu;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window)) return TRUE;
    if (search.needMenu && GetMenu(window) == nullptr) return TRUE;
    search.found = window;
    return FALSE;
}

HWND Find(DWORD processId, bool needMenu) {
    Search search{processId, needMenu};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND FindEditorWindow(DWORD processId) { return Find(processId, true); }
HWND FindAnyWindow(DWORD processId) { return Find(processId, false); }

bool Answers(HWND window, UINT timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs,
                               &result) != 0;
}

}  // namespace bench
