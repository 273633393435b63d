// Orvik.exe: "-RUN" applies the catalogue silently and ends; anything else opens the editor.

#include "app/EditorStart.h"
#include "app/RealPlatform.h"
#include "app/StartUp.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

namespace {

// The splash, then the editor, on the real windows.
int RunEditor(RealPlatform& platform, const std::string& arguments) {
    const auto toolkit = win32::CreateToolkit();
    const auto shell = win32::CreateShell();
    const EnginePlatform engine = platform.engine();
    return RunInteractive(*toolkit, *shell, platform.xml, engine, arguments);
}

}  // namespace

int main() {
    // COM for WMI and MSXML, apartment-threaded, once for the whole program.
    win32::ComApartment com;
    RealPlatform platform;
    const std::string arguments = ArgumentText(win32::ProcessCommandLine());
    const StartChoice start = ChooseStart(arguments);
    if (start.mode == StartMode::SilentRun) {
        SilentRun(platform.xml, platform.engine());
        return 0;  // ends at once: no window has been made
    }
    return RunEditor(platform, arguments);
}
