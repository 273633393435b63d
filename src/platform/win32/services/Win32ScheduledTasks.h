#pragma once
// Task Scheduler 2.0 through COM behind ScheduledTasks: ITaskService connected to the local
// machine, the task found by its folder and name. The caller's thread gets COM when it needs it.

#include <mutex>

#include "platform/ScheduledTasks.h"

struct ITaskService;

namespace win32 {

class Win32ScheduledTasks final : public ScheduledTasks {
public:
    Win32ScheduledTasks() = default;
    Win32ScheduledTasks(const Win32ScheduledTasks&) = delete;
    Win32ScheduledTasks& operator=(const Win32ScheduledTasks&) = delete;
    ~Win32ScheduledTasks() override;

    int32_t IsEnabled(const std::string& path, bool& enabled) override;
    int32_t SetEnabled(const std::string& path, bool enabled) override;
    std::string ErrorText(int32_t hresult) override;

    // The scheduler connection, made by the first call and kept for later calls on the same
    // thread only (an interface belongs to its COM apartment; the editor calls from its window
    // thread); calls on other threads connect each time.
    struct Connection {
        std::mutex lock;
        ITaskService* service = nullptr;
        unsigned long thread = 0;
    };

private:
    Connection connection_;
};

}  // namespace win32
