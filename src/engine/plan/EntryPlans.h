#pragma once
// Whether an entry is in effect on this machine: the plan of that entry alone, made by the same
// runners and plan adapters as OrvikCli plan (engine::Session::PlanEntry), judged value by value.
// WMI queries are left out: they only warn, and can take long.

#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/RunObserver.h"

// Whether an entry is in effect on this machine, as a plan of it alone finds it.
struct EntryPlan {
    enum class State { Applied, Partly, NotApplied, WouldFail, NotCheckable };
    State state = State::NotCheckable;
    // One line per action, as plan shows it: what the registry, a service or a task holds now,
    // what a run would set.
    std::vector<std::string> lines;
    std::string failure;  // WouldFail: why
};

// The state from the plan's records of one entry: Would fail when an action would fail, Not
// checkable without registry values, services or tasks, else Applied, Partly or Not applied by
// how many of them already hold what the entry sets (a service or task not on this machine
// counts as holding it, and its line says "not on this machine").
EntryPlan JudgePlan(const std::vector<ActionRecord>& records);
