#pragma once
// The local Service Control Manager, as service actions need it: a service's start type read and
// changed, nothing else of its configuration, and a service stopped or started. Results are Windows
// error codes (0 success); names and text are UTF-8.

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
// ERROR_INVALID_NAME: a name no service can have.
inline constexpr uint32_t kInvalidName = 123;
// ERROR_INVALID_LEVEL: a manager without the delayed start (Wine 8, XP) refuses to set it.
inline constexpr uint32_t kNoDelayedStart = 124;
// ERROR_SERVICE_REQUEST_TIMEOUT: a service that did not stop within the bound.
inline constexpr uint32_t kTimeout = 1053;
// ERROR_DEPENDENT_SERVICES_RUNNING: a service that others running depend on refuses to stop.
inline constexpr uint32_t kDependentsRunning = 1051;
// ERROR_SERVICE_DISABLED: a disabled service cannot be started.
inline constexpr uint32_t kDisabledStart = 1058;

// Service key names have no slash or backslash; both sides refuse an empty name or one with
// them before asking the manager.
inline bool ValidName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\") == std::string::npos;
}
}  // namespace services

// How a service starts: the type, and for an automatic one whether it waits until after the
// other automatic services (the delayed start).
struct ServiceStart {
    uint32_t type = services::kManual;
    bool delayed = false;
    bool operator==(const ServiceStart&) const = default;
};

struct ServiceState {
    ServiceStart start;    // delayed is read as false unless the type is automatic
    bool driver = false;   // a kernel or file system driver: only these start at Boot or System
    bool running = false;  // in any state but stopped
};

class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    virtual uint32_t Query(const std::string& name, ServiceState& state) = 0;
    // Sets the type and, for an automatic start, the delayed flag; the caller reads the state
    // back to know it took. A delayed start where the manager has none fails (kNoDelayedStart)
    // without a change.
    virtual uint32_t SetStart(const std::string& name, const ServiceStart& start) = 0;
    // Stops a running service and waits until it has stopped (30 seconds at most, then
    // kTimeout); one that is not running is left as it is, with success.
    virtual uint32_t Stop(const std::string& name) = 0;
    // Starts a service without waiting for it; one that runs already is success.
    virtual uint32_t Start(const std::string& name) = 0;
    // A readable message for a code, without a final line break.
    virtual std::string ErrorText(uint32_t code) = 0;
};
