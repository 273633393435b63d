#include "engine/checks/AccountChecks.h"

#include "catalogue/Codes.h"
#include "engine/regRunner.h"
#include "platform/Registry.h"

namespace engine {
namespace {

bool Runs(const OptimizationItemPtr& entry, std::optional<int32_t> offeredOn) {
    return entry && entry->Enabled &&
           (!offeredOn || codes::IsOffered(entry->osVersions, *offeredOn));
}

// The root a value's Key names; 0 for none, which no run can write either.
int32_t RootOf(const RegistryItem& value) {
    try {
        return regRunner::ParseClassKey(value.Key);
    } catch (...) {
        return 0;
    }
}

std::string ValueText(const RegistryItem& value) { return value.Key + "\\" + value.ValueName; }

}  // namespace

bool NeedsAdministrator(const RegistryItem& value) {
    const int32_t root = RootOf(value);
    // HKEY_CLASSES_ROOT writes land in HKEY_LOCAL_MACHINE\Software\Classes.
    return root != 0 && root != reg::kCurrentUser;
}

bool NeedsAdministrator(const ServiceItem&) { return true; }

bool NeedsAdministrator(const TaskItem&) { return true; }

bool NeedsAdministrator(const cmdItem&) { return true; }

bool NeedsAdministrator(const wmiItem&) { return false; }

std::optional<MachineAction> FirstMachineAction(const OptimizationList& entries,
                                                std::optional<int32_t> offeredOn) {
    for (const OptimizationItemPtr& entry : entries) {
        if (!Runs(entry, offeredOn)) continue;
        for (const RegistryItem& value : entry->regItems) {
            if (NeedsAdministrator(value)) {
                return MachineAction{entry.get(), value.Position, "writes " + ValueText(value)};
            }
        }
        for (const ServiceItem& service : entry->serviceItems) {
            if (NeedsAdministrator(service)) {
                return MachineAction{entry.get(), service.Position,
                                     "sets the start of service " + service.Name};
            }
        }
        for (const TaskItem& task : entry->taskItems) {
            if (NeedsAdministrator(task)) {
                return MachineAction{entry.get(), task.Position, "changes task " + task.Path};
            }
        }
        for (const cmdItem& command : entry->cmdItems) {
            if (NeedsAdministrator(command)) {
                return MachineAction{entry.get(), command.Position, "starts " + command.Command};
            }
        }
        for (const wmiItem& query : entry->wmiItems) {
            if (NeedsAdministrator(query)) {
                return MachineAction{entry.get(), query.Position, "queries " + query.Command};
            }
        }
    }
    return std::nullopt;
}

const RegistryItem* FirstCurrentUserValue(const OptimizationList& entries,
                                          std::optional<int32_t> offeredOn) {
    for (const OptimizationItemPtr& entry : entries) {
        if (!Runs(entry, offeredOn)) continue;
        for (const RegistryItem& value : entry->regItems) {
            if (RootOf(value) == reg::kCurrentUser) return &value;
        }
    }
    return nullptr;
}

std::optional<std::string> ElevationRefusal(const OptimizationList& entries,
                                            std::optional<int32_t> offeredOn, bool elevated) {
    if (elevated) return std::nullopt;
    const std::optional<MachineAction> action = FirstMachineAction(entries, offeredOn);
    if (!action) return std::nullopt;
    return "the program is not elevated, and entry " + action->entry->Number + " " + action->what +
           ", which only an administrator may do";
}

std::optional<Problem> ElevationProblem(const OptimizationList& entries,
                                        std::optional<int32_t> offeredOn, bool elevated,
                                        Problem::Severity severity) {
    if (elevated) return std::nullopt;
    const std::optional<MachineAction> action = FirstMachineAction(entries, offeredOn);
    if (!action) return std::nullopt;
    const bool refused = severity == Problem::Severity::Error;
    return Problem{severity, "not-elevated", action->place.line, action->place.column,
                   "not elevated: entry " + action->entry->Number + " " + action->what +
                       ", which only an administrator may do" +
                       (refused ? ": nothing is applied (run it as administrator)"
                                : ": apply refuses to run unless started as administrator")};
}

std::optional<std::string> SystemUserNotice(const OptimizationList& entries,
                                            std::optional<int32_t> offeredOn, bool asSystem) {
    if (!asSystem) return std::nullopt;
    const RegistryItem* value = FirstCurrentUserValue(entries, offeredOn);
    if (value == nullptr) return std::nullopt;
    return "run as SYSTEM, HKEY_CURRENT_USER is the .DEFAULT hive, which no new user gets: " +
           ValueText(*value) + " and the other values of HKEY_CURRENT_USER go there";
}

std::optional<Problem> SystemUserProblem(const OptimizationList& entries,
                                         std::optional<int32_t> offeredOn, bool asSystem,
                                         Users users) {
    if (users != Users::Current) return std::nullopt;
    const std::optional<std::string> notice = SystemUserNotice(entries, offeredOn, asSystem);
    if (!notice) return std::nullopt;
    const XmlPosition place = FirstCurrentUserValue(entries, offeredOn)->Position;
    return Problem{Problem::Severity::Warning, "system-current-user", place.line, place.column,
                   *notice + " (--user default writes them into the default profile instead)"};
}

}  // namespace engine
