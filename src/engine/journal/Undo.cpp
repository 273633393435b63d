#include "engine/journal/Undo.h"

#include <algorithm>
#include <map>

#include "catalogue/Codes.h"
#include "engine/RegistryTap.h"
#include "engine/SystemRunners.h"
#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"
#include "platform/SystemInfo.h"

namespace engine {
namespace {

using Kind = JournalRecord::Kind;
using Outcome = UndoAction::Outcome;

UndoAction Failed(UndoAction action, int32_t error) {
    action.outcome = Outcome::Failed;
    action.error = error;
    return action;
}

bool SameValue(const RegistryChange& a, const RegistryChange& b) {
    return a.root == b.root && a.view == b.view &&
           codes::UpperAscii(a.subKey) == codes::UpperAscii(b.subKey) &&
           codes::UpperAscii(a.valueName) == codes::UpperAscii(b.valueName);
}

// What the value held before this record's write or before an earlier one of the same run: a
// value found so was never written by the run from there on, or has been put back already.
bool HeldBefore(const RegistryData& found, const std::vector<uint8_t>& foundStored,
                const std::vector<JournalRecord>& records, const JournalRecord& record) {
    for (const JournalRecord& earlier : records) {
        if (earlier.line > record.line) break;
        const std::vector<uint8_t>& stored = earlier.change.storedBefore;
        if (earlier.kind == Kind::Value && SameValue(earlier.change, record.change) &&
            earlier.change.before == found && (stored.empty() || stored == foundStored)) {
            return true;
        }
    }
    return false;
}

UndoAction UndoValue(const JournalRecord& record, const std::vector<JournalRecord>& records,
                     Registry& registry) {
    const RegistryChange& change = record.change;
    UndoAction action{&record, {}, Outcome::Unchanged, {}, 0, {}};
    OwnedKey key(reg::OpenedKey{&registry});
    const RegKey root = reg::RootKey(change.root);
    const int32_t opened = registry.OpenKey(
        root, change.subKey, reg::kQueryValue | reg::kSetValue | change.view, *key.Put());
    if (opened != reg::kSuccess && opened != reg::kFileNotFound) return Failed(action, opened);
    int32_t result = reg::kSuccess;
    // A value that cannot be read is no value that is absent: deciding on it could delete it.
    std::vector<uint8_t> foundStored;
    if (key.Get() != 0) {
        action.found = RegistryTap::Read(registry, key.Get(), change.valueName, result);
        uint32_t type = 0;
        if (result == reg::kSuccess && action.found.present && reg::IsTextType(action.found.type)) {
            result = registry.QueryStored(key.Get(), change.valueName, type, foundStored);
        }
    }
    if (result != reg::kSuccess) {
        // Nothing decided.
    } else if (HeldBefore(action.found, foundStored, records, record)) {
        // Nothing to do.
    } else if (action.found != change.after) {
        action.outcome = Outcome::Conflict;
    } else if (!change.before.present) {
        action.outcome = Outcome::Restored;
        result = registry.DeleteValue(key.Get(), change.valueName);
    } else {
        action.outcome = Outcome::Restored;
        if (key.Get() == 0) {
            result = registry.CreateKey(root, change.subKey, reg::kAllSpecificRights | change.view,
                                        *key.Put());
        }
        const std::vector<uint8_t>& data = change.before.data;
        if (result == reg::kSuccess && !change.storedBefore.empty()) {
            result = registry.SetStored(key.Get(), change.valueName, change.before.type,
                                        change.storedBefore);
        } else if (result == reg::kSuccess) {
            result = registry.SetValue(key.Get(), change.valueName, change.before.type, data.data(),
                                       static_cast<uint32_t>(data.size()));
        }
    }
    return result == reg::kSuccess ? action : Failed(action, result);
}

// Whether the service or task holds what it held before this record's change or before an
// earlier one of the same run: never changed by the run from there on, or put back already.
bool SystemHeldBefore(const UndoAction& action, const std::vector<JournalRecord>& records) {
    const JournalRecord& record = *action.record;
    for (const JournalRecord& earlier : records) {
        if (earlier.line > record.line) break;
        if (earlier.kind != record.kind ||
            codes::UpperAscii(earlier.text) != codes::UpperAscii(record.text)) {
            continue;
        }
        if (record.kind == Kind::Service
                ? ServiceRunner::SameStart(earlier.system.before, action.foundStart)
                : earlier.system.enabledBefore == action.foundEnabled) {
            return true;
        }
    }
    return false;
}

UndoAction NotTaken(UndoAction action) {
    action.outcome = Outcome::Failed;
    action.errorText = "the change did not take";
    return action;
}

// The start type put back unless it holds what it held before; a service the run stopped is then
// started again, unless it runs already.
UndoAction UndoService(const JournalRecord& record, const std::vector<JournalRecord>& records,
                       ServiceControl& services) {
    UndoAction action{&record, {}, Outcome::Unchanged, {}, 0, {}};
    const auto failed = [&](uint32_t code) {
        UndoAction failure = Failed(action, static_cast<int32_t>(code));
        failure.errorText = services.ErrorText(code);
        return failure;
    };
    ServiceState state;
    const uint32_t read = services.Query(record.text, state);
    action.foundStart = state.start;
    if (read == services::kNotFound) {
        action.gone = true;
        action.outcome = Outcome::Conflict;
        return action;
    }
    if (read != 0) return failed(read);
    if (!SystemHeldBefore(action, records)) {
        if (!ServiceRunner::SameStart(state.start, record.system.after)) {
            action.outcome = Outcome::Conflict;
            return action;
        }
        action.outcome = Outcome::Restored;
        if (const uint32_t set = services.SetStart(record.text, record.system.before)) {
            return failed(set);
        }
        if (const uint32_t again = services.Query(record.text, state)) return failed(again);
        if (!ServiceRunner::SameStart(state.start, record.system.before)) return NotTaken(action);
    }
    if (!record.system.stopped || state.running) return action;
    action.outcome = Outcome::Restored;
    const uint32_t started = services.Start(record.text);
    return started == 0 ? action : failed(started);
}

UndoAction UndoTask(const JournalRecord& record, const std::vector<JournalRecord>& records,
                    ScheduledTasks& tasks) {
    UndoAction action{&record, {}, Outcome::Unchanged, {}, 0, {}};
    const auto failed = [&](int32_t hresult) {
        UndoAction failure = Failed(action, hresult);
        failure.errorText = tasks.ErrorText(hresult);
        return failure;
    };
    const int32_t read = tasks.IsEnabled(record.text, action.foundEnabled);
    if (tasks::Absent(read)) {
        action.gone = true;
        action.outcome = Outcome::Conflict;
        return action;
    }
    if (read < 0) return failed(read);
    if (SystemHeldBefore(action, records)) return action;
    if (action.foundEnabled != record.system.enabledAfter) {
        action.outcome = Outcome::Conflict;
        return action;
    }
    action.outcome = Outcome::Restored;
    if (const int32_t set = tasks.SetEnabled(record.text, record.system.enabledBefore); set < 0) {
        return failed(set);
    }
    bool now = false;
    if (const int32_t again = tasks.IsEnabled(record.text, now); again < 0) {
        return failed(again);
    }
    return now == record.system.enabledBefore ? action : NotTaken(action);
}

// A key the run made goes when nothing is in it any more: no sub key, no value.
UndoAction UndoKey(const JournalRecord& record, const std::string& path, Registry& registry) {
    const RegistryChange& change = record.change;
    UndoAction action{&record, path, Outcome::Unchanged, {}, 0, {}};
    const RegKey root = reg::RootKey(change.root);
    int32_t subKey = 0, value = 0;
    {
        OwnedKey key(reg::OpenedKey{&registry});
        const int32_t opened = registry.OpenKey(
            root, path, reg::kQueryValue | reg::kEnumerateSubKeys | change.view, *key.Put());
        if (opened == reg::kFileNotFound) return action;
        if (opened != reg::kSuccess) return Failed(action, opened);
        char name[2];
        uint32_t length = sizeof name;
        subKey = registry.EnumKey(key.Get(), 0, name, sizeof name);
        value = registry.EnumValue(key.Get(), 0, name, length);
    }
    for (const int32_t listed : {subKey, value}) {
        if (listed != reg::kSuccess && listed != reg::kMoreData && listed != reg::kNoMoreItems) {
            return Failed(action, listed);
        }
    }
    if (subKey != reg::kNoMoreItems || value != reg::kNoMoreItems) {
        action.outcome = Outcome::Kept;
        return action;
    }
    action.outcome = Outcome::Removed;
    const int32_t deleted = registry.DeleteKey(root, path, change.view);
    return deleted == reg::kSuccess ? action : Failed(action, deleted);
}

}  // namespace

const char* UndoWord(UndoAction::Outcome outcome) {
    switch (outcome) {
        case Outcome::Restored: return "restored";
        case Outcome::Removed: return "removed";
        case Outcome::Unchanged: return "unchanged";
        case Outcome::Kept: return "kept";
        case Outcome::Conflict: return "conflict";
        case Outcome::Failed: return "failed";
        case Outcome::NotUndoable: return "not-undoable";
    }
    return "";
}

const std::vector<UndoAction::Outcome>& UndoOutcomes() {
    static const std::vector<Outcome> all = {
        Outcome::Restored, Outcome::Removed, Outcome::Unchanged,  Outcome::Kept,
        Outcome::Conflict, Outcome::Failed,  Outcome::NotUndoable};
    return all;
}

void NameFailures(std::vector<UndoEntry>& entries, SystemInfo& system) {
    for (UndoEntry& entry : entries) {
        for (UndoAction& action : entry.actions) {
            if (action.error != 0 && action.errorText.empty())
                action.errorText = system.ErrorText(static_cast<uint32_t>(action.error));
        }
    }
}

std::vector<UndoEntry> UndoRecords(const std::vector<JournalRecord>& records,
                                   const UndoTarget& target) {
    Registry& registry = target.registry;
    std::vector<UndoEntry> entries;
    for (const JournalRecord& record : records) {
        if (record.kind == Kind::Entry || entries.empty()) {
            entries.push_back({record.number, record.name, {}});
        }
        if (record.kind != Kind::Entry && record.kind != Kind::End) {
            entries.back().actions.push_back({&record, {}, Outcome::NotUndoable, {}, 0, {}});
        }
    }
    std::reverse(entries.begin(), entries.end());
    for (UndoEntry& entry : entries) {
        std::vector<UndoAction> done;
        for (auto it = entry.actions.rbegin(); it != entry.actions.rend(); ++it) {
            const JournalRecord& record = *it->record;
            if (record.kind == Kind::Value) {
                done.push_back(UndoValue(record, records, registry));
            } else if (record.kind == Kind::Service) {
                done.push_back(UndoService(record, records, target.services));
            } else if (record.kind == Kind::Task) {
                done.push_back(UndoTask(record, records, target.tasks));
            } else if (record.kind == Kind::Keys) {
                const auto& keys = record.change.createdKeys;
                for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
                    done.push_back(UndoKey(record, *key, registry));
                }
            } else {
                done.push_back(*it);
            }
        }
        entry.actions = std::move(done);
    }
    return entries;
}

bool TouchesProfile(const std::vector<JournalRecord>& records) {
    const std::string hive = codes::UpperAscii(kProfileHive);
    return std::any_of(records.begin(), records.end(), [&](const JournalRecord& record) {
        const std::string path =
            codes::UpperAscii(record.kind == Kind::Keys && !record.change.createdKeys.empty()
                                  ? record.change.createdKeys.front()
                                  : record.change.subKey);
        return (record.kind == Kind::Value || record.kind == Kind::Keys) &&
               record.change.root == reg::kUsers && path.rfind(hive, 0) == 0 &&
               (path.size() == hive.size() || path[hive.size()] == '\\');
    });
}

}  // namespace engine
