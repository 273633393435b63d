#include "platform/win32/process/Win32ProcessLauncher.h"

#include "platform/win32/common/Process.h"
#include "platform/win32/common/SystemError.h"

namespace win32 {

uint32_t Win32ProcessLauncher::Start(const std::string& commandLine, WindowStyle style) {
    return StartProcess(commandLine, style == WindowStyle::Hidden);
}

std::string Win32ProcessLauncher::ErrorText(uint32_t code) { return SystemErrorText(code); }

}  // namespace win32
