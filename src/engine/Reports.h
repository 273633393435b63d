#pragma once
// How the action runners fill and hand over their records; only the engine includes this.

#include <optional>
#include <string>
#include <vector>

#include "engine/RunObserver.h"
#include "env/GlobalUtils.h"

namespace reports {

// The record of one action of a kind, its item set by the overload of that kind below.
inline ActionRecord Of(ActionRecord::Kind kind, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record;
    record.kind = kind;
    record.outcome = outcome;
    record.index = index;
    return record;
}

inline ActionRecord For(const RegistryItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record = Of(ActionRecord::Kind::Registry, index, outcome);
    record.registry = &item;
    return record;
}
inline ActionRecord For(const ServiceItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record = Of(ActionRecord::Kind::Service, index, outcome);
    record.service = &item;
    return record;
}
inline ActionRecord For(const TaskItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record = Of(ActionRecord::Kind::Task, index, outcome);
    record.task = &item;
    return record;
}
inline ActionRecord For(const cmdItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record = Of(ActionRecord::Kind::Command, index, outcome);
    record.command = &item;
    return record;
}
inline ActionRecord For(const wmiItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record = Of(ActionRecord::Kind::Wmi, index, outcome);
    record.query = &item;
    return record;
}

// The actions of a list that a failure before them left undone.
template <typename Item>
void Skipped(RunObserver& observer, const std::vector<Item>& items, size_t from) {
    for (size_t i = from; i < items.size(); ++i) {
        observer.Reported(For(items[i], i, ActionRecord::Outcome::Skipped));
    }
}

// What a command wrote, for the end of its log line: " Output: ..." and " Errors: ..." for the
// streams that hold anything, line breaks as blanks; empty when neither does.
std::string LogTail(const std::optional<CommandOutput>& output);

// How an awaited command ended, as far as it got.
struct Awaited {
    std::optional<uint32_t> exitCode;
    std::optional<CommandOutput> output;
};

// The end of a list of command lines or queries at its first failure: the log line (logPrefix,
// then the action's command line or query, then what the command wrote), the failed action
// reported, the rest skipped. index: the action that failed; the list's size when the failure
// came before any.
template <typename Item>
void ListFailed(GlobalUtils& utils, const std::string& logPrefix, RunObserver* observer,
                const std::vector<Item>& items, size_t index, const ErrorRecord& failure,
                const Awaited& awaited = {}) {
    const bool reached = index < items.size();
    utils.WriteLog(
        logPrefix + (reached ? items[index].Command : std::string()) + LogTail(awaited.output),
        failure);
    if (!observer || !reached) return;
    ActionRecord record = For(items[index], index, ActionRecord::Outcome::Failed);
    record.error = failure;
    record.exitCode = awaited.exitCode;
    record.output = awaited.output;
    observer->Reported(record);
    Skipped(*observer, items, index + 1);
}

// The failure being handled, as the error record a runner logs and reports. Only inside a catch
// block: anything that is not an ErrorRecord gets number 0 and the given source.
ErrorRecord CurrentError(const std::string& source);

}  // namespace reports
