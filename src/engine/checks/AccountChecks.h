#pragma once
// What a run needs of the account it runs as, judged on the entries it would apply before it
// applies any: an administrator's full token for anything but HKEY_CURRENT_USER, and a user of
// its own for HKEY_CURRENT_USER values.

#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/OptimizationItem.h"
#include "engine/Users.h"
#include "engine/checks/Checks.h"

namespace engine {

// Whether one action changes the machine rather than the user who runs it. A new kind of action
// gets an overload of its own and a line in FirstMachineAction.
bool NeedsAdministrator(const RegistryItem& value);  // outside HKEY_CURRENT_USER
// Services and tasks are the machine's: every change of either, whichever users a run writes.
bool NeedsAdministrator(const ServiceItem& service);
bool NeedsAdministrator(const TaskItem& task);
bool NeedsAdministrator(const cmdItem& command);  // every command line
bool NeedsAdministrator(const wmiItem& query);    // never: a query only reads

// The first action that needs an administrator, of the entries that run: enabled ones, and, when
// offeredOn is given, offered on that Windows version.
struct MachineAction {
    const OptimizationItem* entry = nullptr;
    XmlPosition place;
    std::string what;  // "writes HKEY_LOCAL_MACHINE\...", "sets service ...", "starts ..."
};
std::optional<MachineAction> FirstMachineAction(const OptimizationList& entries,
                                                std::optional<int32_t> offeredOn);

// The first HKEY_CURRENT_USER value of the entries that run.
const RegistryItem* FirstCurrentUserValue(const OptimizationList& entries,
                                          std::optional<int32_t> offeredOn);

// "not-elevated" when the process is not elevated and an entry that runs needs it: severity
// Error where the run must refuse (apply), Warning where it only says so (plan, validate).
std::optional<Problem> ElevationProblem(const OptimizationList& entries,
                                        std::optional<int32_t> offeredOn, bool elevated,
                                        Problem::Severity severity);
// The same judgement as one sentence for the silent run's log and the editor.
std::optional<std::string> ElevationRefusal(const OptimizationList& entries,
                                            std::optional<int32_t> offeredOn, bool elevated);

// "system-current-user", a warning: run as SYSTEM, the current user's values go to the .DEFAULT
// hive, which no user is made from; nothing to say when --user names the default profile.
std::optional<Problem> SystemUserProblem(const OptimizationList& entries,
                                         std::optional<int32_t> offeredOn, bool asSystem,
                                         Users users);
// The same for the silent run's log, which has no --user.
std::optional<std::string> SystemUserNotice(const OptimizationList& entries,
                                            std::optional<int32_t> offeredOn, bool asSystem);

}  // namespace engine
