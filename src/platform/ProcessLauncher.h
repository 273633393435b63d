#pragma once
// Starting a program from a command line, as the command-line actions and Export need it: the
// process is started and left alone, or (the console program's apply) started and awaited for a
// bounded time so that its exit code can be told. Text is UTF-8.

#include <chrono>
#include <cstdint>
#include <string>

class ProcessLauncher {
public:
    enum class WindowStyle {
        Hidden,       // the command-line actions
        NormalFocus,  // a visible, activated window (the browser on Export)
    };

    // How an awaited process ended: in time with its exit code, or still running at the bound.
    struct Ending {
        bool inTime = false;
        uint32_t exitCode = 0;
    };

    // The error code of a wait that reached its bound (WAIT_TIMEOUT).
    static constexpr uint32_t kTimedOut = 258;

    virtual ~ProcessLauncher() = default;
    // Starts the command line as it stands: no interpreter in front of it, nothing expanded.
    // Returns 0 once the process runs, otherwise the Windows error code (2: no such program).
    virtual uint32_t Start(const std::string& commandLine, WindowStyle style) = 0;
    // Starts as Start does, then waits at most limit for the process to end. 0 and how it ended,
    // or the Windows error code when it could not be started or waited for. A process still
    // running at the bound is left running.
    virtual uint32_t StartAndWait(const std::string& commandLine, WindowStyle style,
                                  std::chrono::milliseconds limit, Ending& ending) = 0;
    // The platform's message for a Windows error code, without a final line break.
    virtual std::string ErrorText(uint32_t code) = 0;
};
