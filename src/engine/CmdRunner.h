#pragma once
// Starts the command lines of one optimization, hidden and not awaited, with the file-system
// redirection of a 32-bit program on 64-bit Windows switched off around them. The first command
// that cannot be started is logged and ends the list.

#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class CmdRunner {
public:
    explicit CmdRunner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void Run(const std::vector<cmdItem>& cmdItems);

private:
    EnginePlatform platform_;
    RunObserver* observer_;
};
