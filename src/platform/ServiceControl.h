#pragma once
// The local Service Control Manager, as service actions need it: a service's start type read and
// changed, nothing else of its configuration. Results are Windows error codes (0 success); names
// and text are UTF-8.

#include <cstdint>
#include <string>

namespace services {
// Start types as the Service Control Manager numbers them (SERVICE_BOOT_START ...).
inline constexpr uint32_t kBoot = 0;
inline constexpr uint32_t kSystem = 1;
inline constexpr uint32_t kAutomatic = 2;
inline constexpr uint32_t kManual = 3;
inline constexpr uint32_t kDisabled = 4;
// ERROR_SERVICE_DOES_NOT_EXIST: no service of that name on this machine.
inline constexpr uint32_t kNotFound = 1060;
}  // namespace services

// How a service starts: the type, and for an automatic one whether it waits until after the
// other automatic services (the delayed start).
struct ServiceStart {
    uint32_t type = services::kManual;
    bool delayed = false;
    bool operator==(const ServiceStart&) const = default;
};

struct ServiceState {
    ServiceStart start;
    bool driver = false;   // a kernel or file system driver: only these start at Boot or System
    bool running = false;  // in any state but stopped
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    virtual uint32_t Query(const std::string& name, ServiceState& state) = 0;
    // Sets the type and the delayed flag together; the caller reads the state back to know it
    // took.
    virtual uint32_t SetStart(const std::string& name, const ServiceStart& start) = 0;
    // A readable message for a code, without a final line break.
    virtual std::string ErrorText(uint32_t code) = 0;
};
