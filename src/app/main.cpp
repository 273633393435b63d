// Orvik.exe: "-RUN" applies the catalogue silently and ends; anything else opens the editor.

#include "app/RealPlatform.h"
#include "app/StartUp.h"

namespace {

// Stands in for the splash and the editor until they are wired in.
int RunEditor(RealPlatform&, const StartChoice&) {
    const bool shown = win32::RunPlainWindow(
        kApplicationTitle,
        "The editor is not part of this build yet. Start Orvik.exe -RUN to apply the enabled "
        "optimizations of OrvikOptimizations.xml.");
    return shown ? 0 : 1;
}

}  // namespace

int main() {
    // COM for WMI and MSXML, apartment-threaded, once for the whole program.
    win32::ComApartment com;
    RealPlatform platform;
    const StartChoice start = ChooseStart(ArgumentText(win32::ProcessCommandLine()));
    if (start.mode == StartMode::SilentRun) {
        SilentRun(platform.xml, platform.engine());
        return 0;  // ends at once: no window has been made
    }
    return RunEditor(platform, start);
}
