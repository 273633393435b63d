#pragma once
// CreateProcessW behind ProcessLauncher; WaitForSingleObject and GetExitCodeProcess to await it.

#include "platform/ProcessLauncher.h"

namespace win32 {

class Win32ProcessLauncher final : public ProcessLauncher {
public:
    uint32_t Start(const std::string& commandLine, WindowStyle style) override;
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style,
                          std::chrono::milliseconds limit, Ending& ending) override;
    std::string ErrorText(uint32_t code) override;
};

}  // namespace win32
