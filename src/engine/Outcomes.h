#pragma once
// The word each action's outcome is shown and journaled with, spelt here alone: the console's
// reports, the journal, and the editor's states and details all take it from RunMode and the
// record.

#include <optional>
#include <string>
#include <vector>

#include "engine/RunObserver.h"

namespace engine {

// A plan changes nothing and tells what a run would do; an apply changes the machine.
enum class RunMode { Plan, Apply };

// apply: applied, absent (a service or task not on this machine), started (not awaited), ran
// (ended with exit code 0), found, failed, skip; plan: set, change, unchanged, absent, start,
// found, fail, skip.
[[nodiscard]] std::string OutcomeWord(const ActionRecord& record, RunMode mode);
// Every outcome word of the mode, in the order a summary lists them.
std::vector<std::string> OutcomeWords(RunMode mode);
// A registry action that would leave the value as it is, byte for byte, and make no key; a
// service or task action that found it as asked (SystemUnchanged): what a plan calls unchanged.
bool Unchanged(const ActionRecord& record);
// Whether the machine now differs (apply), or would differ (plan), by this action: true, false,
// or none where that cannot be known (command lines, WMI checks). A skipped action changed
// nothing. The rule of each kind is here, beside its words.
[[nodiscard]] std::optional<bool> Changed(const ActionRecord& record);
// A service or task action that left the start type (the delayed flag counting for an automatic
// start only) or the enabled flag as it found it, or found no such service or task.
bool SystemUnchanged(const ActionRecord& record);

}  // namespace engine
