#pragma once
// Applies a list of optimizations: every enabled entry, in list order, registry edits first,
// then command lines, then WMI queries. Tells its caller nothing.

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class runner {
public:
    explicit runner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void RunOptimizations(const OptimizationList& Settings);

private:
    EnginePlatform platform_;
    RunObserver* observer_;
};
