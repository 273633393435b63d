#include "engine/Outcomes.h"

namespace engine {

bool Unchanged(const ActionRecord& record) {
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
        case ActionRecord::Kind::Command:
            if (plan) return "start";
            return record.exitCode ? "ran" : "started";
        case ActionRecord::Kind::Wmi: return "found";
    }
    return {};
}

std::vector<std::string> OutcomeWords(RunMode mode) {
    if (mode == RunMode::Apply) return {"applied", "started", "ran", "found", "failed", "skip"};
    return {"set", "change", "unchanged", "start", "found", "fail", "skip"};
}

}  // namespace engine
