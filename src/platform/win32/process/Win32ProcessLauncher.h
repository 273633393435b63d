#pragma once
// CreateProcessW behind ProcessLauncher: hidden commands get no console window (CREATE_NO_WINDOW)
// and standard handles of their own, the null device or pipes that are read while they run.

#include "platform/ProcessLauncher.h"

namespace win32 {

// Where a program named without a full path is looked for.
enum class ProgramLookup {
    // Process start's own search, which begins with the program's folder and the current folder.
    AsProcessStartSearches,
    // The system folder (the 64-bit one while redirection is off), then the Windows folder; the
    // command then starts the program by its full path.
    SystemFoldersOnly,
    // SystemFoldersOnly in an elevated process: what others than administrators may write must
    // not decide what it starts.
    SystemFoldersWhenElevated,
};

class Win32ProcessLauncher final : public ProcessLauncher {
public:
    explicit Win32ProcessLauncher(ProgramLookup lookup = ProgramLookup::SystemFoldersWhenElevated)
        : lookup_(lookup) {}

    uint32_t Start(const std::string& commandLine, WindowStyle style, StartScope* scope) override;
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style, StartScope* scope,
                          std::chrono::milliseconds limit, Ending& ending) override;
    std::string ErrorText(uint32_t code) override;

private:
    bool SystemFoldersOnly();

    ProgramLookup lookup_;
};

}  // namespace win32
