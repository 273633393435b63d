#pragma once
// RunLock as a named mutex in the global namespace, so that runs in every session, services and
// scheduled tasks included, see the same one.

#include "platform/RunLock.h"
#include "platform/win32/common/Handle.h"

namespace win32 {

inline constexpr const char* kRunLockName = "Global\\OrvikOptimizer.Run";

class Win32RunLock final : public RunLock {
public:
    explicit Win32RunLock(std::string name = kRunLockName) : name_(std::move(name)) {}

    Taken Take(std::chrono::milliseconds wait, uint32_t& error) override;
    void Release() override;
    std::string Name() const override { return name_; }
    std::string ErrorText(uint32_t code) override;

private:
    uint32_t Open();

    std::string name_;
    UniqueHandle mutex_;  // opened at the first Take, kept while the program runs
};

}  // namespace win32
