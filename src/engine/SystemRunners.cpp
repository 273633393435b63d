#include "engine/SystemRunners.h"

#include "catalogue/Codes.h"
#include "engine/Reports.h"
#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"

namespace {

using Outcome = ActionRecord::Outcome;

// What an action asked, for its log line.
std::string Asked(const ServiceItem& item) {
    return item.Name + " " + item.StartType + (item.Stop ? " and stop it" : "");
}
std::string Asked(const TaskItem& item) { return item.Path + " " + item.State; }

// One list of services or tasks: each action carried out and reported; at the first failure the
// log line (logPrefix and what the action asked), the failed action reported, the rest skipped.
template <typename Item, typename Carry>
void RunList(const EnvPlatform& env, RunObserver* observer, const std::vector<Item>& items,
             const char* runnerName, const char* logPrefix, Carry carry) {
    if (items.empty()) return;
    GlobalUtils utils(env);
    const std::string source = utils.ExecutableName() + "." + runnerName;
    for (size_t index = 0; index < items.size(); ++index) {
        ActionRecord record = reports::For(items[index], index, Outcome::Done);
        try {
            carry(items[index], source, record);
        } catch (...) {
            record.outcome = Outcome::Failed;
            record.error = reports::CurrentError(source);
            utils.WriteLog(logPrefix + Asked(items[index]), *record.error);
            if (!observer) return;
            observer->Reported(record);
            reports::Skipped(*observer, items, index + 1);
            return;
        }
        if (observer) observer->Reported(record);
    }
}

}  // namespace

std::string ServiceRunner::StartName(const ServiceStart& start) {
    const bool delayed = start.type == services::kAutomatic && start.delayed;
    const std::string name = codes::StartTypeName({start.type, delayed});
    return name.empty() ? "type " + std::to_string(start.type) : name;
}

bool ServiceRunner::SameStart(const ServiceStart& a, const ServiceStart& b) {
    return a.type == b.type && (a.type != services::kAutomatic || a.delayed == b.delayed);
}

void ServiceRunner::Carry(const ServiceItem& item, const std::string& source,
                          ActionRecord& record) {
    ServiceControl& manager = platform_.services;
    const auto fail = [&](uint32_t code) {
        throw ErrorRecord(static_cast<int32_t>(code), source, manager.ErrorText(code));
    };
    const std::optional<ServiceStart> wanted = codes::ServiceStartByName(item.StartType);
    if (!wanted) {
        throw ErrorRecord(
            kErrInvalid, source,
            "The start type \"" + item.StartType + "\" is not " + codes::StartTypeNameList());
    }
    ServiceState state;
    const uint32_t queried = manager.Query(item.Name, state);
    if (queried == services::kNotFound) {
        record.absent = true;
        return;
    }
    if (queried != 0) fail(queried);
    record.system = SystemChange{state.start, state.start, false, false, state.running};
    // Held here rather than left to the manager, so that a plan says it too.
    if (wanted->type <= services::kSystem && !state.driver) {
        throw ErrorRecord(
            kErrInvalid, source,
            "Only a driver starts at Boot or System, and " + item.Name + " is a service");
    }
    if (wanted->type == services::kDisabled && state.running && !item.Stop) {
        record.note = "it keeps running until it is stopped or Windows starts again";
    }
    if (!SameStart(state.start, *wanted)) {
        if (const uint32_t set = manager.SetStart(item.Name, *wanted)) fail(set);
        ServiceState now;
        if (const uint32_t read = manager.Query(item.Name, now)) fail(read);
        record.system->after = now.start;
        if (!SameStart(now.start, *wanted)) {
            throw ErrorRecord(
                kErrNotTaken, source,
                "The change did not take: " + item.Name + " still starts " + StartName(now.start));
        }
    }
    // After the start type, so that nothing starts it again in between.
    if (item.Stop && state.running) StopService(item.Name, source, record);
}

void ServiceRunner::StopService(const std::string& name, const std::string& source,
                                ActionRecord& record) {
    ServiceControl& manager = platform_.services;
    const auto fail = [&](uint32_t code) {
        throw ErrorRecord(static_cast<int32_t>(code), source, manager.ErrorText(code));
    };
    if (const uint32_t stopped = manager.Stop(name)) fail(stopped);
    ServiceState now;
    if (const uint32_t read = manager.Query(name, now)) fail(read);
    if (now.running) {
        throw ErrorRecord(kErrNotTaken, source, "The stop did not take: " + name + " still runs");
    }
    record.system->stopped = true;
}

void ServiceRunner::Run(const std::vector<ServiceItem>& serviceItems) {
    RunList(platform_.env, observer_, serviceItems, "ServiceRunner", "Service: ",
            [this](const ServiceItem& item, const std::string& source, ActionRecord& record) {
                Carry(item, source, record);
            });
}

void TaskRunner::Carry(const TaskItem& item, const std::string& source, ActionRecord& record) {
    ScheduledTasks& scheduler = platform_.tasks;
    const auto fail = [&](int32_t hresult) {
        if (hresult == tasks::kUnavailable) {
            throw ErrorRecord(
                hresult, source,
                "Task Scheduler 2.0 is not on this Windows: " + scheduler.ErrorText(hresult));
        }
        throw ErrorRecord(hresult, source, scheduler.ErrorText(hresult));
    };
    const std::optional<bool> wanted = codes::TaskEnabledByName(item.State);
    if (!wanted) {
        throw ErrorRecord(ServiceRunner::kErrInvalid, source,
                          "The state \"" + item.State + "\" is neither Enabled nor Disabled");
    }
    bool enabled = false;
    const int32_t queried = scheduler.IsEnabled(item.Path, enabled);
    if (tasks::Absent(queried)) {
        record.absent = true;
        return;
    }
    if (queried < 0) fail(queried);
    record.system = SystemChange{{}, {}, enabled, enabled, false};
    if (enabled == *wanted) return;
    if (const int32_t set = scheduler.SetEnabled(item.Path, *wanted); set < 0) fail(set);
    bool now = false;
    if (const int32_t read = scheduler.IsEnabled(item.Path, now); read < 0) fail(read);
    record.system->enabledAfter = now;
    if (now != *wanted) {
        throw ErrorRecord(ServiceRunner::kErrNotTaken, source,
                          "The change did not take: the task is still " +
                              std::string(now ? "enabled" : "disabled"));
    }
}

void TaskRunner::Run(const std::vector<TaskItem>& taskItems) {
    RunList(platform_.env, observer_, taskItems, "TaskRunner", "Task: ",
            [this](const TaskItem& item, const std::string& source, ActionRecord& record) {
                Carry(item, source, record);
            });
}
