#pragma once
// How the action runners fill and hand over their records; only the engine includes this.

#include <string>
#include <vector>

#include "engine/RunObserver.h"

namespace reports {

inline ActionRecord For(const RegistryItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record;
    record.kind = ActionRecord::Kind::Registry;
    record.outcome = outcome;
    record.index = index;
    record.registry = &item;
    return record;
}

inline ActionRecord For(const cmdItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record;
    record.kind = ActionRecord::Kind::Command;
    record.outcome = outcome;
    record.index = index;
    record.command = &item;
    return record;
}

inline ActionRecord For(const wmiItem& item, size_t index, ActionRecord::Outcome outcome) {
    ActionRecord record;
    record.kind = ActionRecord::Kind::Wmi;
    record.outcome = outcome;
    record.index = index;
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

// The failure being handled, as the error record a runner logs and reports. Only inside a catch
// block: anything that is not an ErrorRecord gets number 0 and the given source.
ErrorRecord CurrentError(const std::string& source);

}  // namespace reports
