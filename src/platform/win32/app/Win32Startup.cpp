#include "platform/win32/app/Win32Startup.h"

#include <windows.h>
#include <objbase.h>

#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

std::string ProcessCommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line ? Narrow(std::wstring(line)) : std::string();
}

ComApartment::~ComApartment() { EndCom(); }

void Win32MessageBoxes::ShowOk(const std::string& text) {
    // No owner window: task-modal keeps every window of this thread waiting, as a modal box
    // must, also in a silent run where there is no window at all.
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(kProductName).c_str(),
                MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace win32
