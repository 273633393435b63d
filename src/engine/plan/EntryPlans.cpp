#include "engine/plan/EntryPlans.h"

#include <memory>

#include "engine/ValueText.h"
#include "engine/plan/PlanAdapters.h"
#include "engine/runner.h"
#include "platform/Registry.h"

namespace {

class Records final : public RunObserver {
public:
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override { records.push_back(record); }
    void EntryEnds(const OptimizationItem&) override {}

    std::vector<ActionRecord> records;
};

bool Unchanged(const ActionRecord& record) {
    return !record.change ||
           (record.change->before == record.change->after && record.change->createdKeys.empty());
}

// One action as plan shows it.
std::string Line(const ActionRecord& record) {
    using Outcome = ActionRecord::Outcome;
    const char* word = record.outcome == Outcome::Skipped  ? "skip"
                       : record.outcome == Outcome::Failed ? "fail"
                                                           : nullptr;
    std::string line;
    if (record.kind == ActionRecord::Kind::Registry) {
        const RegistryItem& item = *record.registry;
        if (!word) {
            word = Unchanged(record)               ? "unchanged"
                   : record.change->before.present ? "change"
                                                   : "set";
        }
        line = std::string(word) + " " + item.Key +
               (item.Key.empty() || item.Key.back() == '\\' ? "" : "\\") + item.ValueName;
        if (record.change && record.outcome == Outcome::Done) {
            line += ": " + engine::StateText(record.change->before) + " -> " +
                    engine::StateText(record.change->after);
        }
    } else {
        line = std::string(word ? word : "start") + " " + record.command->Command;
    }
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
        if (record.kind != ActionRecord::Kind::Registry) continue;
        ++values;
        if (Unchanged(record)) ++unchanged;
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

EntryPlan PlanEntry(const OptimizationItem& entry, const EnginePlatform& machine,
                    ProgramSearch& programs) {
    auto alone = std::make_shared<OptimizationItem>(entry);
    alone->Enabled = true;
    alone->wmiItems.clear();
    engine::PlanRegistry registry(machine.registry);
    engine::PlanLauncher launcher(programs, machine.processes);
    engine::PlanFiles log(machine.env.files);
    engine::NoMessageBoxes noBoxes;
    const EnvPlatform env{machine.env.system, machine.env.clock, log};
    const EnginePlatform planned{env, registry, launcher, machine.wmi, noBoxes};
    Records observer;
    runner(planned, &observer).RunOptimizations({alone});
    return JudgePlan(observer.records);
}
