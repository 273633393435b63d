#pragma once
// Starting a program from a command line, as the command-line actions need it: the process is
// started and left alone, or (the console program's apply) started and awaited for a bounded time
// so that its exit code and the end of what it wrote can be told. Text is UTF-8.

#include <chrono>
#include <cstdint>
#include <string>

// What must hold while a process is being created and not a moment longer, never while it is
// awaited: a 32-bit program's file-system redirection switched off on 64-bit Windows, so that the
// command's program is found in the 64-bit system folder while the run's own files are not.
class StartScope {
public:
    virtual ~StartScope() = default;
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

class ProcessLauncher {
public:
    enum class WindowStyle {
        Hidden,       // the command-line actions: no window, no console of their own
        NormalFocus,  // a visible, activated window
    };

    // How an awaited process ended: in time with its exit code, or still running at the bound;
    // and the last kOutputKept bytes of what it wrote to standard output and standard error,
    // decoded from the OEM code page into UTF-8, cut on a character boundary.
    struct Ending {
        bool inTime = false;
        uint32_t exitCode = 0;
        std::string output;
        std::string errors;
    };

    // The error code of a wait that reached its bound (WAIT_TIMEOUT).
    static constexpr uint32_t kTimedOut = 258;
    static constexpr size_t kOutputKept = 4096;

    virtual ~ProcessLauncher() = default;
    // Starts the command line as it stands: no interpreter in front of it, nothing expanded; a
    // hidden one gets the null device as its standard handles. scope (may be null) holds around
    // the creation alone. Returns 0 once the process runs, otherwise the Windows error code (2:
    // no such program).
    virtual uint32_t Start(const std::string& commandLine, WindowStyle style,
                           StartScope* scope) = 0;
    // Starts as Start does, but with pipes for standard output and standard error that are read
    // while it runs, then waits at most limit for the process to end. 0 and how it ended, or the
    // Windows error code when it could not be started or waited for. A process still running at
    // the bound is left running, and no more of its output is read.
    virtual uint32_t StartAndWait(const std::string& commandLine, WindowStyle style,
                                  StartScope* scope, std::chrono::milliseconds limit,
                                  Ending& ending) = 0;
    // The platform's message for a Windows error code, without a final line break.
    virtual std::string ErrorText(uint32_t code) = 0;
};
