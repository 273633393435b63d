#pragma once
// Applies a list of optimizations: every enabled entry, in list order, registry edits first,
// then services, scheduled tasks, command lines and WMI queries, each list on its own. Tells its
// caller nothing.

#include <chrono>
#include <cstdint>
#include <optional>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class runner {
public:
    // commandLimit: each command line is awaited up to it (see CmdRunner); none: not awaited.
    explicit runner(const EnginePlatform& platform, RunObserver* observer = nullptr,
                    std::optional<std::chrono::milliseconds> commandLimit = std::nullopt)
        : platform_(platform), observer_(observer), commandLimit_(commandLimit) {}

    // offeredOn, when given, is the running Windows version: only the entries offered on it
    // (codes::IsOffered) run, as the editor lists them; the observer hears of the others.
    void RunOptimizations(const OptimizationList& Settings,
                          std::optional<int32_t> offeredOn = std::nullopt);

private:
    EnginePlatform platform_;
    RunObserver* observer_;
    std::optional<std::chrono::milliseconds> commandLimit_;
};
