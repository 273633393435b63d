#pragma once
// Starting a program from a command line, as the command-line actions and Export need it: the
// process is started and left alone, never awaited. Text is UTF-8.

#include <cstdint>
#include <string>

class ProcessLauncher {
public:
    enum class WindowStyle {
        Hidden,       // the command-line actions
        NormalFocus,  // a visible, activated window (the browser on Export)
    };

    virtual ~ProcessLauncher() = default;
    // Starts the command line as it stands: no interpreter in front of it, nothing expanded.
    // Returns 0 once the process runs, otherwise the Windows error code (2: no such program).
    virtual uint32_t Start(const std::string& commandLine, WindowStyle style) = 0;
    // The platform's message for a Windows error code, without a final line break.
    virtual std::string ErrorText(uint32_t code) = 0;
};
