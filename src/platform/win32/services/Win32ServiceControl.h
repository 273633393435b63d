#pragma once
// advapi32's Service Control Manager calls behind ServiceControl. The manager is opened once, to
// connect only; each call opens the service with only the rights it needs, so that reading works
// without elevation.

#include <mutex>

#include "platform/ServiceControl.h"

namespace win32 {

class Win32ServiceControl final : public ServiceControl {
public:
    Win32ServiceControl() = default;
    Win32ServiceControl(const Win32ServiceControl&) = delete;
    Win32ServiceControl& operator=(const Win32ServiceControl&) = delete;
    ~Win32ServiceControl() override;

    uint32_t Query(const std::string& name, ServiceState& state) override;
    uint32_t SetStart(const std::string& name, const ServiceStart& start) override;
    uint32_t Stop(const std::string& name) override;
    uint32_t Start(const std::string& name) override;
    std::string ErrorText(uint32_t code) override;

private:
    uint32_t Manager(void*& manager);

    std::mutex lock_;
    void* manager_ = nullptr;  // SC_HANDLE, closed with the object
};

}  // namespace win32
