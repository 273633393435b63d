#pragma once
// The local Task Scheduler (2.0), as task actions need it: whether a registered task is enabled,
// and enabling or disabling it. Results are HRESULTs (0 success, negative failure); paths and text
// are UTF-8.

#include <algorithm>
#include <cstdint>
#include <string>

namespace tasks {
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and ..._PATH_NOT_FOUND: no such task, or no such folder.
inline constexpr int32_t kNotFound = static_cast<int32_t>(0x80070002u);
inline constexpr int32_t kPathNotFound = static_cast<int32_t>(0x80070003u);
// REGDB_E_CLASSNOTREG: no Task Scheduler 2.0 here (before Vista).
inline constexpr int32_t kUnavailable = static_cast<int32_t>(0x80040154u);
// E_INVALIDARG: a path no task can have.
inline constexpr int32_t kInvalidPath = static_cast<int32_t>(0x80070057u);

// The task is not on this machine.
inline bool Absent(int32_t hresult) { return hresult == kNotFound || hresult == kPathNotFound; }

// A task path split into its folder ("\" for the root, else "\A\B") and its name; the leading
// backslash may be left out. False for a path no task can have: empty, ending in a backslash, an
// empty, "." or ".." part, or a forward slash. Wine's scheduler takes several of these as
// other folders, so both sides refuse them before asking.
inline bool SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::string full = path.empty() || path[0] != '\\' ? "\\" + path : path;
    if (full.find('/') != std::string::npos) return false;
    for (size_t at = 0; at < full.size();) {
        const size_t next = std::min(full.find('\\', at + 1), full.size());
        const std::string part = full.substr(at + 1, next - at - 1);
        if (part.empty() || part == "." || part == "..") return false;
        at = next;
    }
    const size_t split = full.find_last_of('\\');
    folder = split == 0 ? "\\" : full.substr(0, split);
    name = full.substr(split + 1);
    return true;
}
}  // namespace tasks

class ScheduledTasks {
public:
    virtual ~ScheduledTasks() = default;
    // path: from the root folder, "\Microsoft\Windows\Defrag\ScheduledDefrag"; one that
    // SplitPath refuses fails with kInvalidPath.
    virtual int32_t IsEnabled(const std::string& path, bool& enabled) = 0;
    // The caller reads the state back to know it took.
    virtual int32_t SetEnabled(const std::string& path, bool enabled) = 0;
    // A readable message for an HRESULT, without a final line break.
    virtual std::string ErrorText(int32_t hresult) = 0;
};
