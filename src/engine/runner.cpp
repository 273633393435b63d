#include "engine/runner.h"

#include <optional>

#include "engine/CmdRunner.h"
#include "engine/WMIRunner.h"
#include "engine/regRunner.h"

void runner::RunOptimizations(const OptimizationList& Settings) {
    // One of each action runner for the whole call, made when the first entry needs it.
    std::optional<regRunner> registryEdits;
    std::optional<CmdRunner> commandLines;
    std::optional<WMIRunner> queries;

    for (const OptimizationItemPtr& entry : Settings) {
        if (!entry || !entry->Enabled) continue;
        if (!registryEdits) {
            registryEdits.emplace(platform_, observer_);
            commandLines.emplace(platform_, observer_);
            queries.emplace(platform_, observer_);
        }
        if (observer_) observer_->EntryStarts(*entry);
        // Each action runner catches its own failures, so one entry never stops the run.
        registryEdits->Run(entry->regItems);
        commandLines->Run(entry->cmdItems);
        queries->Run(entry->wmiItems);
        if (observer_) observer_->EntryEnds(*entry);
    }
}
