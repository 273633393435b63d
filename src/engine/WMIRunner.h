#pragma once
// Runs the WMI queries of one optimization and warns, in a modal box, when a query finds at
// least its warning level of objects (9999: never examined). The first query that fails is
// logged and ends the list.

#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class WMIRunner {
public:
    static constexpr int16_t kNotExamined = 9999;

    explicit WMIRunner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void Run(const std::vector<wmiItem>& wmiItems);

    // The warning shown when a query reaches its level.
    static std::string WarningText(const wmiItem& item);

private:
    EnginePlatform platform_;
    RunObserver* observer_;
};
