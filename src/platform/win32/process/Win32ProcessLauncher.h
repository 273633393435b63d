#pragma once
// CreateProcessW behind ProcessLauncher.

#include "platform/ProcessLauncher.h"

namespace win32 {

class Win32ProcessLauncher final : public ProcessLauncher {
public:
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    std::string ErrorText(uint32_t code) override;
};

// FormatMessageW's system text for a Windows error code or HRESULT, final line break removed;
// empty when the system has none.
std::string SystemErrorText(uint32_t code);

}  // namespace win32
