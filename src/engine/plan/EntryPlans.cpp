#include "engine/plan/EntryPlans.h"

#include "engine/Outcomes.h"
#include "engine/ValueText.h"

namespace {

// One action as plan shows it.
std::string Line(const ActionRecord& record) {
    using Outcome = ActionRecord::Outcome;
    using Kind = ActionRecord::Kind;
    const std::string word = engine::OutcomeWord(record, engine::RunMode::Plan);
    std::string line;
    if (record.kind == Kind::Registry) {
        const RegistryItem& item = *record.registry;
        line = word + " " + item.Key + (item.Key.empty() || item.Key.back() == '\\' ? "" : "\\") +
               item.ValueName;
        if (record.change && record.outcome == Outcome::Done) {
            line += ": " + engine::StateText(record.change->before) + " -> " +
                    engine::StateText(record.change->after);
        }
    } else if (record.kind == Kind::Service || record.kind == Kind::Task) {
        line = word + (record.kind == Kind::Service ? " service " : " task ") +
               engine::SystemText(record);
    } else {
        line = word + " " + record.command->Command;
    }
    if (!record.note.empty()) line += " (" + record.note + ")";
    if (record.error) line += " (" + record.error->Description + ")";
    return line;
}

}  // namespace

EntryPlan JudgePlan(const std::vector<ActionRecord>& records) {
    EntryPlan judged;
    size_t values = 0, unchanged = 0;
    for (const ActionRecord& record : records) {
        judged.lines.push_back(Line(record));
        if (record.outcome == ActionRecord::Outcome::Failed && judged.failure.empty()) {
            judged.failure = record.error ? "error " + std::to_string(record.error->Number) + ", " +
                                                record.error->Description
                                          : "an action would fail";
        }
        // Services and tasks count as values do; one not on this machine counts as in effect.
        if (record.kind != ActionRecord::Kind::Registry &&
            record.kind != ActionRecord::Kind::Service && record.kind != ActionRecord::Kind::Task) {
            continue;
        }
        ++values;
        if (engine::Unchanged(record)) ++unchanged;
    }
    using State = EntryPlan::State;
    if (!judged.failure.empty()) {
        judged.state = State::WouldFail;
    } else if (values == 0) {
        judged.state = State::NotCheckable;
    } else {
        judged.state = unchanged == values ? State::Applied
                       : unchanged == 0    ? State::NotApplied
                                           : State::Partly;
    }
    return judged;
}
