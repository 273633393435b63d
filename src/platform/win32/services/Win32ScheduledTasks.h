#pragma once
// Task Scheduler 2.0 through COM behind ScheduledTasks: ITaskService connected to the local
// machine, the task found by its folder and name. The caller's thread gets COM when it needs it.

#include "platform/ScheduledTasks.h"

namespace win32 {

class Win32ScheduledTasks final : public ScheduledTasks {
public:
    int32_t IsEnabled(const std::string& path, bool& enabled) override;
    int32_t SetEnabled(const std::string& path, bool enabled) override;
    std::string ErrorText(int32_t hresult) override;
};

}  // namespace win32
