#include "engine/runner.h"

#include <optional>

#include "catalogue/Codes.h"
#include "engine/CmdRunner.h"
#include "engine/Reports.h"
#include "engine/SystemRunners.h"
#include "engine/WMIRunner.h"
#include "engine/regRunner.h"

void runner::RunOptimizations(const OptimizationList& Settings, std::optional<int32_t> offeredOn) {
    // One of each action runner for the whole call, made when the first entry needs it.
    std::optional<regRunner> registryEdits;
    std::optional<ServiceRunner> services;
    std::optional<TaskRunner> tasks;
    std::optional<CmdRunner> commandLines;
    std::optional<WMIRunner> queries;

    for (const OptimizationItemPtr& entry : Settings) {
        if (!entry || !entry->Enabled) continue;
        if (offeredOn && !codes::IsOffered(entry->osVersions, *offeredOn)) {
            if (observer_) {
                observer_->EntryLeftOut(*entry);
                reports::Skipped(*observer_, entry->regItems, 0);
                reports::Skipped(*observer_, entry->serviceItems, 0);
                reports::Skipped(*observer_, entry->taskItems, 0);
                reports::Skipped(*observer_, entry->cmdItems, 0);
                reports::Skipped(*observer_, entry->wmiItems, 0);
                observer_->EntryEnds(*entry);
            }
            continue;
        }
        if (!registryEdits) {
            registryEdits.emplace(platform_, observer_);
            services.emplace(platform_, observer_);
            tasks.emplace(platform_, observer_);
            commandLines.emplace(platform_, observer_, commandLimit_);
            queries.emplace(platform_, observer_);
        }
        if (observer_) observer_->EntryStarts(*entry);
        // Each action runner catches its own failures, so one entry never stops the run.
        registryEdits->Run(entry->regItems);
        services->Run(entry->serviceItems);
        tasks->Run(entry->taskItems);
        commandLines->Run(entry->cmdItems);
        queries->Run(entry->wmiItems);
        if (observer_) observer_->EntryEnds(*entry);
    }
}
