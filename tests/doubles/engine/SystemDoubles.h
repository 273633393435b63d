#pragma once
// The Service Control Manager and Task Scheduler as tables, looked up without regard to case as
// the real ones are. A service or task may refuse a change, or take it and change nothing (as
// Wine's IRegisteredTask::put_Enabled does), so that a read-back has something to catch.

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
    }
};

class ServiceDouble final : public ServiceControl {
public:
    struct Service {
        ServiceState state;
        uint32_t refusal = 0;      // SetStart fails with it
        bool ignores = false;      // SetStart succeeds and changes nothing
        uint32_t stopRefusal = 0;  // Stop fails with it and it runs on: 1051 dependents, 1053 slow
    };
    std::map<std::string, Service, CaseLess> services;
    bool noDelayedStart = false;       // a manager without it, as Wine 8's
    std::vector<std::string> changes;  // every SetStart, in order

    uint32_t Query(const std::string& name, ServiceState& state) override {
        state = {};
        if (!services::ValidName(name)) return services::kInvalidName;
        const auto found = services.find(name);
        if (found == services.end()) return services::kNotFound;
        state = found->second.state;
        state.start.delayed = state.start.delayed && state.start.type == services::kAutomatic;
        return 0;
    }
    uint32_t SetStart(const std::string& name, const ServiceStart& start) override {
        if (!services::ValidName(name)) return services::kInvalidName;
        const auto found = services.find(name);
        if (found == services.end()) return services::kNotFound;
        Service& service = found->second;
        changes.push_back(name);
        if (service.refusal) return service.refusal;
        const bool automatic = start.type == services::kAutomatic;
        if (automatic && start.delayed && noDelayedStart) return services::kNoDelayedStart;
        if (automatic && !service.ignores) service.state.start.delayed = start.delayed;
        // The manager takes Boot and System for drivers only (ERROR_INVALID_PARAMETER).
        if (start.type <= services::kSystem && !service.state.driver) return 87;
        if (!service.ignores) service.state.start.type = start.type;
        return 0;
    }
    uint32_t Stop(const std::string& name) override { return Control(name, false); }
    uint32_t Start(const std::string& name) override { return Control(name, true); }
    std::string ErrorText(uint32_t code) override { return "system text " + std::to_string(code); }

private:
    // As the manager does: a service already in the state asked is success without a change.
    uint32_t Control(const std::string& name, bool start) {
        ServiceState state;
        if (const uint32_t error = Query(name, state)) return error;
        Service& service = services.find(name)->second;
        if (state.running == start) return 0;
        if (start && state.start.type == services::kDisabled) return services::kDisabledStart;
        if (!start && service.stopRefusal) return service.stopRefusal;
        service.state.running = start;
        return 0;
    }
};

class TaskDouble final : public ScheduledTasks {
public:
    struct Task {
        bool enabled = true;
        int32_t refusal = 0;   // SetEnabled fails with it
        bool ignores = false;  // SetEnabled succeeds and changes nothing
    };
    std::map<std::string, Task, CaseLess> tasks;
    int32_t unavailable = 0;           // every call fails with it (no Task Scheduler 2.0)
    std::vector<std::string> changes;  // every SetEnabled, in order

    int32_t IsEnabled(const std::string& path, bool& enabled) override {
        enabled = false;
        Task* task = nullptr;
        if (const int32_t hr = Find(path, task)) return hr;
        enabled = task->enabled;
        return 0;
    }
    int32_t SetEnabled(const std::string& path, bool enabled) override {
        Task* task = nullptr;
        if (const int32_t hr = Find(path, task)) return hr;
        changes.push_back(path);
        if (task->refusal) return task->refusal;
        if (!task->ignores) task->enabled = enabled;
        return 0;
    }
    std::string ErrorText(int32_t hr) override { return "system text " + std::to_string(hr); }

private:
    // Keys as given, found with or without their leading backslash.
    int32_t Find(const std::string& path, Task*& task) {
        std::string folder, name;
        if (!tasks::SplitPath(path, folder, name)) return tasks::kInvalidPath;
        if (unavailable) return unavailable;
        auto found = tasks.find(folder == "\\" ? "\\" + name : folder + "\\" + name);
        if (found == tasks.end()) found = tasks.find(path);
        if (found == tasks.end()) return tasks::kNotFound;
        task = &found->second;
        return 0;
    }
};
