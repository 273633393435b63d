#include "platform/win32/process/Win32ProcessLauncher.h"

#include "platform/win32/common/Process.h"
#include "platform/win32/common/SystemError.h"

namespace win32 {

uint32_t Win32ProcessLauncher::Start(const std::string& commandLine, WindowStyle style) {
    return StartProcess(commandLine, style == WindowStyle::Hidden);
}

uint32_t Win32ProcessLauncher::StartAndWait(const std::string& commandLine, WindowStyle style,
                                            std::chrono::milliseconds limit, Ending& ending) {
    std::optional<uint32_t> exitCode;
    const uint32_t result =
        StartProcessAndWait(commandLine, style == WindowStyle::Hidden, limit, exitCode);
    ending = {exitCode.has_value(), exitCode.value_or(0)};
    return result;
}

std::string Win32ProcessLauncher::ErrorText(uint32_t code) { return SystemErrorText(code); }

}  // namespace win32
