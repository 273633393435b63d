#pragma once
// Sets the start type of an optimization's services through the Service Control Manager (and
// stops the running ones that ask it), and
// enables or disables its scheduled tasks through Task Scheduler 2.0; never by starting sc.exe or
// schtasks.exe. A service or task that is not on this machine is reported absent: no failure,
// nothing written. Every change is read back, and one that did not take fails (some systems take
// a change and keep the old state). The first failure is logged, as a command line's is, and
// ends its own list. Services and tasks are the machine's: a run for several users sets each
// once, and neither has a 32- or 64-bit view.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class ServiceRunner {
public:
    // ERROR_INVALID_PARAMETER, as the Service Control Manager refuses what the catalogue asks.
    static constexpr int32_t kErrInvalid = 87;
    // Not a Windows error: the state read back after a change is not what was set.
    static constexpr int32_t kErrNotTaken = 0;

    explicit ServiceRunner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void Run(const std::vector<ServiceItem>& serviceItems);

    // The catalogue's name of a start (codes::StartTypeName); "type N" for a number the manager
    // does not define.
    static std::string StartName(const ServiceStart& start);
    // The delayed flag counts for an automatic start only: the manager keeps it, and ignores it,
    // for the others.
    static bool SameStart(const ServiceStart& a, const ServiceStart& b);

private:
    void Carry(const ServiceItem& item, const std::string& source, ActionRecord& record);
    // Stops the running service and reads it back: one that still runs fails.
    void StopService(const std::string& name, const std::string& source, ActionRecord& record);

    EnginePlatform platform_;
    RunObserver* observer_;
};

class TaskRunner {
public:
    explicit TaskRunner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void Run(const std::vector<TaskItem>& taskItems);

private:
    void Carry(const TaskItem& item, const std::string& source, ActionRecord& record);

    EnginePlatform platform_;
    RunObserver* observer_;
};
