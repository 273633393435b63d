#pragma once
// What a run tells whoever watches it: one record per action as it is carried out, in the order
// of the run. The window program and the silent run watch nothing; the console program turns the
// records into its text and JSON.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "env/ErrorRecord.h"
#include "platform/ServiceControl.h"

// A registry value as stored: absent, or its type and exact bytes (text types as UTF-8 with
// their terminating NULs, as the registry interface gives them).
struct RegistryData {
    bool present = false;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    bool operator==(const RegistryData&) const = default;
};

// What one registry action did to a value: its state before and after, and the keys that had to
// be made for it (outermost first).
struct RegistryChange {
    int32_t root = 0;    // the root handle the key path is below
    std::string subKey;  // as the registry was asked, without a final backslash
    uint32_t view = 0;   // the 64-bit view flag, when the write asked for it
    std::string valueName;
    RegistryData before;
    RegistryData after;  // not present: the value was deleted (or stays absent)
    std::vector<std::string> createdKeys;
    // Text before the write as the registry stores it (UTF-16, odd bytes and all), for the
    // journal; empty for other types.
    std::vector<uint8_t> storedBefore;
    // Text that reads the same as what is written, but whose stored bytes the write changes.
    bool bytesChange = false;
};

// The end of what an awaited command wrote (at most 4 KB of each stream, UTF-8).
struct CommandOutput {
    std::string standard;  // standard output
    std::string errors;    // standard error
    bool operator==(const CommandOutput&) const = default;
};

// What a service or task action found and left: the start type, or the task's enabled flag, before
// it and after it (after a change, as read back; in a plan, what the run would set).
struct SystemChange {
    ServiceStart before, after;                        // a service's
    bool enabledBefore = false, enabledAfter = false;  // a task's
    bool running = false;                              // the service was running when it was read
    bool stopped = false;  // and the action stopped it (in a journal: the record that stops it)
};

struct ActionRecord {
    enum class Kind { Registry, Service, Task, Command, Wmi };
    enum class Outcome {
        Done,     // written, started (or run to a good end) or queried
        Failed,   // error holds why; the rest of the entry's list of this kind is skipped
        Skipped,  // an earlier action of the same list failed
    };

    Kind kind = Kind::Registry;
    Outcome outcome = Outcome::Done;
    size_t index = 0;  // place in the entry's list of this kind, from 0
    // The action's record; the one that matches kind is set.
    const RegistryItem* registry = nullptr;
    const ServiceItem* service = nullptr;
    const TaskItem* task = nullptr;
    const cmdItem* command = nullptr;
    const wmiItem* query = nullptr;

    std::optional<ErrorRecord> error;
    // Registry: what the write did, when it reached the registry.
    std::optional<RegistryChange> change;
    // Registry, with a run that writes several users' HKEY_CURRENT_USER: whose this write was
    // ("current", "default"); empty otherwise.
    std::string user;
    // Command, when it was awaited and ended in time: its exit code.
    std::optional<uint32_t> exitCode;
    // Command, when it was awaited (also when it failed or ran past the bound): what it wrote.
    std::optional<CommandOutput> output;
    // WMI: how many objects the query found (not counted for the level that is never examined)
    // and whether that reached the warning level.
    std::optional<int32_t> count;
    bool warned = false;
    // Command of a plan: the program it would start, when one is found.
    std::optional<std::string> program;
    // A kind whose runner knows whether it changed the machine says so here (engine::Changed
    // judges registry actions by their change, and knows nothing of command lines and queries).
    std::optional<bool> changed;
    // Service and task: the state before and after, when it could be read.
    std::optional<SystemChange> system;
    // Service and task: not on this machine; nothing was written, and that is no failure.
    bool absent = false;
    // What the outcome alone does not say: a disabled service that runs until the next start;
    // a plan's command whose effect cannot be known before or put back.
    std::string note;
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void EntryStarts(const OptimizationItem& entry) = 0;
    // An enabled entry that the run leaves out, being meant for other Windows versions: its
    // actions follow, each Skipped, then EntryEnds.
    virtual void EntryLeftOut(const OptimizationItem& entry) = 0;
    virtual void Reported(const ActionRecord& record) = 0;
    virtual void EntryEnds(const OptimizationItem& entry) = 0;
    // False for an observer that needs only the outcomes: the registry's values are then not
    // read before each write, and records carry no change.
    virtual bool WatchesChanges() const { return true; }
};
