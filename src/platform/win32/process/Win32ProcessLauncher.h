#pragma once
// CreateProcessW behind ProcessLauncher.

#include "platform/ProcessLauncher.h"

namespace win32 {

class Win32ProcessLauncher final : public ProcessLauncher {
public:
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    std::string ErrorText(uint32_t code) override;
};

}  // namespace win32
