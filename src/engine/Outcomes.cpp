#include "engine/Outcomes.h"

namespace engine {

bool SystemUnchanged(const ActionRecord& record) {
    if (record.absent || !record.system) return true;
    const SystemChange& state = *record.system;
    if (record.kind == ActionRecord::Kind::Task) return state.enabledBefore == state.enabledAfter;
    return !state.stopped && state.before.type == state.after.type &&
           (state.before.type != services::kAutomatic ||
            state.before.delayed == state.after.delayed);
}

bool Unchanged(const ActionRecord& record) {
    if (record.kind == ActionRecord::Kind::Service || record.kind == ActionRecord::Kind::Task) {
        return SystemUnchanged(record);
    }
    if (!record.change) return true;
    const RegistryChange& change = *record.change;
    // Text that reads the same but is stored otherwise is a change: undo would see it as one.
    return change.before == change.after && !change.bytesChange && change.createdKeys.empty();
}

std::string OutcomeWord(const ActionRecord& record, RunMode mode) {
    using Outcome = ActionRecord::Outcome;
    const bool plan = mode == RunMode::Plan;
    if (record.outcome == Outcome::Skipped) return "skip";
    if (record.outcome == Outcome::Failed) return plan ? "fail" : "failed";
    switch (record.kind) {
        case ActionRecord::Kind::Registry:
            if (!plan) return "applied";
            if (Unchanged(record)) return "unchanged";
            return record.change->before.present ? "change" : "set";
        case ActionRecord::Kind::Service:
        case ActionRecord::Kind::Task:
            if (record.absent) return "absent";
            if (!plan) return "applied";
            return SystemUnchanged(record) ? "unchanged" : "change";
        case ActionRecord::Kind::Command:
            if (plan) return "start";
            return record.exitCode ? "ran" : "started";
        case ActionRecord::Kind::Wmi: return "found";
    }
    return {};
}

std::optional<bool> Changed(const ActionRecord& record) {
    switch (record.kind) {
        // A failed write that made keys before it failed changed the machine all the same.
        case ActionRecord::Kind::Registry:
            return record.outcome != ActionRecord::Outcome::Skipped && !Unchanged(record);
        case ActionRecord::Kind::Service:
        case ActionRecord::Kind::Task:
            return record.outcome != ActionRecord::Outcome::Skipped && !SystemUnchanged(record);
        // What a command did, or what a query found, is not known to the program.
        case ActionRecord::Kind::Command:
        case ActionRecord::Kind::Wmi: return std::nullopt;
    }
    return record.changed;
}

std::vector<std::string> OutcomeWords(RunMode mode) {
    if (mode == RunMode::Apply)
        return {"applied", "absent", "started", "ran", "found", "failed", "skip"};
    return {"set", "change", "unchanged", "absent", "start", "found", "fail", "skip"};
}

}  // namespace engine
