#pragma once
// The local Task Scheduler (2.0), as task actions need it: whether a registered task is enabled,
// and enabling or disabling it. Results are HRESULTs (0 success, negative failure); paths and text
// are UTF-8.

#include <cstdint>
#include <string>

namespace tasks {
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and ..._PATH_NOT_FOUND: no such task, or no such folder.
inline constexpr int32_t kNotFound = static_cast<int32_t>(0x80070002u);
inline constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
// REGDB_E_CLASSNOTREG: no Task Scheduler 2.0 here (before Vista).
inline constexpr int32_t kUnavailable = static_cast<int32_t>(0x80040154u);

// The task is not on this machine.
inline bool Absent(int32_t hresult) { return hresult == kNotFound || hresult == kPathNotFound; }
}  // namespace tasks

class ScheduledTasks {
public:
    virtual ~ScheduledTasks() = default;
    // path: from the root folder, "\Microsoft\Windows\Defrag\ScheduledDefrag".
    virtual int32_t IsEnabled(const std::string& path, bool& enabled) = 0;
    // The caller reads the state back to know it took.
    virtual int32_t SetEnabled(const std::string& path, bool enabled) = 0;
    // A readable message for an HRESULT, without a final line break.
    virtual std::string ErrorText(int32_t hresult) = 0;
};
