#pragma once
// Applies a list of optimizations: every enabled entry, in list order, registry edits first,
// then command lines, then WMI queries. Tells its caller nothing.

#include <cstdint>
#include <optional>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class runner {
public:
    explicit runner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    // offeredOn, when given, is the running Windows version: only the entries offered on it
    // (codes::IsOffered) run, as the editor lists them; the observer hears of the others.
    void RunOptimizations(const OptimizationList& Settings,
                          std::optional<int32_t> offeredOn = std::nullopt);

private:
    EnginePlatform platform_;
    RunObserver* observer_;
};
