#pragma once
// advapi32's Service Control Manager calls behind ServiceControl. Each call opens the manager and
// the service with only the rights it needs, so that reading works without elevation.

#include "platform/ServiceControl.h"

namespace win32 {

class Win32ServiceControl final : public ServiceControl {
public:
    uint32_t Query(const std::string& name, ServiceState& state) override;
    uint32_t SetStart(const std::string& name, const ServiceStart& start) override;
    std::string ErrorText(uint32_t code) override;
};

}  // namespace win32
