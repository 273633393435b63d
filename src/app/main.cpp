// Orvik.exe: "-RUN" applies the catalogue silently and ends; anything else opens the editor.

#include "app/EditorStart.h"
#include "app/RealPlatform.h"
#include "app/StartUp.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/console/Win32Console.h"
#include "platform/win32/policy/Win32PolicyFolders.h"
#include "platform/win32/security/LibrarySearch.h"
#include "platform/win32/toolkit/Win32Toolkit.h"

int main() {
    // First of all: no library that COM, MSXML or WMI load later comes from this folder.
    win32::RestrictLibrarySearch();
    // COM for WMI and MSXML, apartment-threaded, from its first use to the end of the program.
    win32::ComApartment com;
    RealPlatform platform;
    if (ChooseStart(ArgumentText(win32::ProcessCommandLine())) == StartMode::SilentRun) {
        // Ends at once: no window has been made. 0 done, 1 an action failed, 2 refused, 6 busy.
        return SilentRun(platform.xml, platform.engine(), platform.security, platform.lock);
    }
    // The splash, then the editor, on the real windows; the shell's dialogs want COM.
    win32::NeedCom();
    const auto toolkit = win32::CreateToolkit();
    const auto shell = win32::CreateShell();
    win32::Win32PolicyFolders policies;
    win32::Win32ConsoleFiles files;
    win32::Win32ProgramSearch programs;
    const EditorPlatform editor{*shell, platform.xml, policies,     platform.security,
                                files,  programs,     platform.lock};
    return RunInteractive(*toolkit, editor, platform.engine());
}
