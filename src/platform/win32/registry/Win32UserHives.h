#pragma once
// UserHives on advapi32, userenv (loaded from the system folder) and the console's control
// handler.

#include "platform/UserHives.h"

namespace win32 {

class Win32UserHives final : public UserHives {
public:
    ~Win32UserHives() override { WhenInterrupted({}); }
    int32_t EnablePrivileges() override;
    void DropPrivileges() override;
    std::string DefaultProfileFolder(int32_t& error) override;
    int32_t FindFile(const std::string& file) override;
    void Pause(std::chrono::milliseconds time) override;
    int32_t Load(const std::string& name, const std::string& file) override;
    int32_t Unload(const std::string& name) override;
    void WhenInterrupted(std::function<void()> cleanup) override;
    std::string ErrorText(int32_t code) override;
};

}  // namespace win32
