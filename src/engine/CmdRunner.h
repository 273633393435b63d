#pragma once
// Starts the command lines of one optimization, hidden, with the file-system redirection of a
// 32-bit program on 64-bit Windows switched off around the start of each. They are not awaited,
// unless the runner is given a bound to wait for each: then a command that does not end in time
// or ends with an exit code other than 0 fails as one that cannot be started does, and what it
// wrote is reported (and logged when it failed). The first command that fails is logged and ends
// the list.

#include <chrono>
#include <optional>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

namespace reports {
struct Awaited;
}

class CmdRunner {
public:
    // awaitLimit: how long each command may run before the next action; none: not awaited.
    explicit CmdRunner(const EnginePlatform& platform, RunObserver* observer = nullptr,
                       std::optional<std::chrono::milliseconds> awaitLimit = std::nullopt)
        : platform_(platform), observer_(observer), awaitLimit_(awaitLimit) {}

    void Run(const std::vector<cmdItem>& cmdItems);

private:
    // Starts one command and, when awaited, sees it end; raises what makes it fail.
    void Carry(const cmdItem& item, const std::string& source, GlobalUtils& utils,
               reports::Awaited& awaited);

    EnginePlatform platform_;
    RunObserver* observer_;
    std::optional<std::chrono::milliseconds> awaitLimit_;
};
