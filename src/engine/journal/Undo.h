#pragma once
// Undo: the journal of a run replayed backwards through the registry interface. A value is put
// back with its exact type and bytes only where it still holds what the run wrote; one that
// already holds what it held before is left as it is, and one that changed since is left alone
// as a conflict. Keys the run made go when they are empty. A service's start type and a task's
// enabled flag are put back by the same rules, and read back. Command lines and WMI queries are
// listed, not undone.

#include <string>
#include <vector>

#include "engine/journal/Journal.h"

class ScheduledTasks;
class ServiceControl;
class SystemInfo;

namespace engine {

struct UndoAction {
    enum class Outcome { Restored, Removed, Unchanged, Kept, Conflict, Failed, NotUndoable };
    const JournalRecord* record = nullptr;
    std::string key;  // keys: the one key this is about, below the record's root
    Outcome outcome = Outcome::NotUndoable;
    RegistryData found;     // value: what it held when undo came to it
    int32_t error = 0;      // failed: the Windows error code
    std::string errorText;  // and the system's words for it, once NameFailures has run
    // service and task: what it held when undo came to it, or that it is gone since.
    ServiceStart foundStart{};
    bool foundEnabled = false;
    bool gone = false;
};

// Where undo puts things back: the registry, and the machine's services and tasks.
struct UndoTarget {
    Registry& registry;
    ServiceControl& services;
    ScheduledTasks& tasks;
};

struct UndoEntry {
    std::string number, name;
    std::vector<UndoAction> actions;  // last first
};

// restored, removed, unchanged, kept, conflict, failed, not-undoable
const char* UndoWord(UndoAction::Outcome outcome);
// Every outcome of undo, in the order a summary lists them.
const std::vector<UndoAction::Outcome>& UndoOutcomes();

// The records' entries last first, each with what undo did.
std::vector<UndoEntry> UndoRecords(const std::vector<JournalRecord>& records,
                                   const UndoTarget& target);

// Gives every failed action without words of its own the system's words for its code.
void NameFailures(std::vector<UndoEntry>& entries, SystemInfo& system);

// Whether the records change the default profile loaded as it is during a run.
bool TouchesProfile(const std::vector<JournalRecord>& records);

}  // namespace engine
