#include "platform/win32/services/Win32ServiceControl.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/Owned.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

namespace {

struct ServiceHandleKind {
    using Type = SC_HANDLE;
    static bool Valid(SC_HANDLE h) { return h != nullptr; }
    static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};
using ServiceHandle = Owned<ServiceHandleKind>;

// OpenServiceW: Windows XP. SERVICE_QUERY_CONFIG and SERVICE_QUERY_STATUS are every local
// user's by default; SERVICE_CHANGE_CONFIG only an elevated administrator's and SYSTEM's, so a
// change without elevation fails here with ERROR_ACCESS_DENIED, as does one on a service whose own
// security refuses it (Windows Defender's) even elevated.
uint32_t Open(SC_HANDLE manager, const std::string& name, DWORD rights, ServiceHandle& service) {
    if (!services::ValidName(name)) return services::kInvalidName;
    *service.Put() = OpenServiceW(manager, Widen(name).c_str(), rights);
    return service.Valid() ? 0 : GetLastError();
}

// QueryServiceConfigW: Windows XP, SERVICE_QUERY_CONFIG. Its documented largest answer is 8 KB,
// so one call does; a larger one is asked for at its size.
uint32_t ReadConfig(SC_HANDLE service, ServiceState& state) {
    std::vector<BYTE> buffer(8 * 1024);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return GetLastError();
        buffer.resize(needed);
        config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!QueryServiceConfigW(service, config, needed, &needed)) return GetLastError();
    }
    state.start.type = config->dwStartType;
    state.driver =
        (config->dwServiceType & (SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER)) != 0;
    return 0;
}

// The delayed start is Vista's; a manager that does not know the level has none (XP; Wine 8 for
// drivers). QueryServiceConfig2W: Windows XP, SERVICE_QUERY_CONFIG.
uint32_t ReadDelayed(SC_HANDLE service, bool& delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info{};
    DWORD needed = 0;
    if (QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                             reinterpret_cast<BYTE*>(&info), sizeof(info), &needed)) {
        delayed = info.fDelayedAutostart != FALSE;
        return 0;
    }
    const DWORD error = GetLastError();
    delayed = false;
    return error == ERROR_INVALID_LEVEL ? 0 : error;
}

// ChangeServiceConfig2W: Windows XP, SERVICE_CHANGE_CONFIG. Any service takes the flag, which
// counts only while it starts automatically; clearing it where the manager has no delayed start
// (ERROR_INVALID_LEVEL: XP, Wine 8) leaves what was asked.
uint32_t WriteDelayed(SC_HANDLE service, bool delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info{delayed ? TRUE : FALSE};
    if (ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_LEVEL && !delayed ? 0 : error;
}

}  // namespace

Win32ServiceControl::~Win32ServiceControl() {
    if (manager_) CloseServiceHandle(static_cast<SC_HANDLE>(manager_));
}

// OpenSCManagerW: Windows XP; SC_MANAGER_CONNECT is every local user's. Kept, as it costs as much
// as the rest of a query (about 4 ms of 8 under Wine); a failure is asked again next time.
uint32_t Win32ServiceControl::Manager(void*& manager) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!manager_) manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    manager = manager_;
    return manager_ ? 0 : GetLastError();
}

uint32_t Win32ServiceControl::Query(const std::string& name, ServiceState& state) {
    state = {};
    void* manager = nullptr;
    ServiceHandle service;
    if (const uint32_t error = Manager(manager)) return error;
    if (const uint32_t error = Open(static_cast<SC_HANDLE>(manager), name,
                                    SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS, service))
        return error;
    if (const uint32_t error = ReadConfig(service.Get(), state)) return error;
    if (const uint32_t error = ReadDelayed(service.Get(), state.start.delayed)) return error;
    // The flag stays when the type changes but means nothing then: Manual is Manual.
    state.start.delayed = state.start.delayed && state.start.type == services::kAutomatic;
    SERVICE_STATUS status{};  // QueryServiceStatus: Windows XP, SERVICE_QUERY_STATUS
    if (!QueryServiceStatus(service.Get(), &status)) return GetLastError();
    state.running = status.dwCurrentState != SERVICE_STOPPED;
    return 0;
}

uint32_t Win32ServiceControl::SetStart(const std::string& name, const ServiceStart& start) {
    void* manager = nullptr;
    ServiceHandle service;
    if (const uint32_t error = Manager(manager)) return error;
    if (const uint32_t error =
            Open(static_cast<SC_HANDLE>(manager), name, SERVICE_CHANGE_CONFIG, service))
        return error;
    // The flag first: a refusal of it leaves the service starting as before, and the type change
    // after it is the one that takes effect.
    if (start.type == services::kAutomatic) {
        if (const uint32_t error = WriteDelayed(service.Get(), start.delayed)) return error;
    }
    // ChangeServiceConfigW: Windows XP. Boot and System on a service that is no driver:
    // ERROR_INVALID_PARAMETER, on Windows and Wine alike.
    if (!ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, start.type, SERVICE_NO_CHANGE,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
        return GetLastError();
    return 0;
}

namespace {

// Until the service has stopped, or the bound has passed: QueryServiceStatus every wait hint the
// service gives, clamped to 100 ms .. 1 s.
uint32_t AwaitStopped(SC_HANDLE service, SERVICE_STATUS status) {
    constexpr ULONGLONG kBound = 30 * 1000;
    const ULONGLONG since = GetTickCount64();  // Windows Vista
    while (status.dwCurrentState != SERVICE_STOPPED) {
        if (GetTickCount64() - since >= kBound) return services::kTimeout;
        Sleep(std::clamp<DWORD>(status.dwWaitHint, 100, 1000));
        if (!QueryServiceStatus(service, &status)) return GetLastError();
    }
    return 0;
}

}  // namespace

// ControlService: Windows XP, SERVICE_STOP, which the default security gives administrators
// elevated and SYSTEM only: a run without elevation fails with ERROR_ACCESS_DENIED here. A
// service others running depend on refuses (ERROR_DEPENDENT_SERVICES_RUNNING); one that is not
// running answers ERROR_SERVICE_NOT_ACTIVE, which is what was asked.
uint32_t Win32ServiceControl::Stop(const std::string& name) {
    void* manager = nullptr;
    ServiceHandle service;
    if (const uint32_t error = Manager(manager)) return error;
    if (const uint32_t error = Open(static_cast<SC_HANDLE>(manager), name,
                                    SERVICE_STOP | SERVICE_QUERY_STATUS, service))
        return error;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.Get(), &status)) return GetLastError();
    if (status.dwCurrentState == SERVICE_STOPPED) return 0;
    // One stopping already is waited for; one still starting refuses the control (1061).
    if (status.dwCurrentState != SERVICE_STOP_PENDING &&
        !ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        return error == ERROR_SERVICE_NOT_ACTIVE ? 0 : error;
    }
    return AwaitStopped(service.Get(), status);
}

// StartServiceW: Windows XP, SERVICE_START, administrators elevated and SYSTEM only, as for Stop.
// It returns once the service's process has taken the start, not when the service runs.
uint32_t Win32ServiceControl::Start(const std::string& name) {
    void* manager = nullptr;
    ServiceHandle service;
    if (const uint32_t error = Manager(manager)) return error;
    if (const uint32_t error = Open(static_cast<SC_HANDLE>(manager), name, SERVICE_START, service))
        return error;
    if (StartServiceW(service.Get(), 0, nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_SERVICE_ALREADY_RUNNING ? 0 : error;
}

std::string Win32ServiceControl::ErrorText(uint32_t code) {
    std::string text = SystemErrorText(code);
    return text.empty() ? "Windows error " + std::to_string(code) : text;
}

}  // namespace win32
