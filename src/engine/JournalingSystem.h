#pragma once
// The Service Control Manager and Task Scheduler as a journaled run goes through them: before a
// start type or an enabled flag is set, the state it replaces goes into the journal with what is
// set, so that undo can put it back. A change whose state cannot be read, or that the journal
// cannot take, is not made. A running service stopped goes in as a record of its own, with the
// start it had before this run set one, so that undo of that record alone puts the start type back
// before it starts the service again (a disabled service does not start).

#include <cstdint>
#include <map>
#include <string>

#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"

class SystemJournal {
public:
    virtual ~SystemJournal() = default;
    // 0, or the Windows error code that refuses the change (the journal could not be written).
    // stops: the running service is about to be stopped, its start type already set to after.
    virtual int32_t ServiceChanging(const std::string& name, const ServiceStart& before,
                                    const ServiceStart& after, bool stops = false) = 0;
    virtual int32_t TaskChanging(const std::string& path, bool before, bool after) = 0;
};

class JournalingServices final : public ServiceControl {
public:
    JournalingServices(ServiceControl& inner, SystemJournal& journal)
        : inner_(inner), journal_(journal) {}

    uint32_t Query(const std::string& name, ServiceState& state) override {
        return inner_.Query(name, state);
    }
    uint32_t SetStart(const std::string& name, const ServiceStart& start) override {
        ServiceState state;
        if (const uint32_t read = inner_.Query(name, state)) return read;
        if (const int32_t refused = journal_.ServiceChanging(name, state.start, start)) {
            return static_cast<uint32_t>(refused);
        }
        startBefore_.try_emplace(name, state.start);
        return inner_.SetStart(name, start);
    }
    uint32_t Stop(const std::string& name) override {
        ServiceState state;
        if (const uint32_t read = inner_.Query(name, state)) return read;
        if (!state.running) return inner_.Stop(name);
        const auto set = startBefore_.find(name);
        const ServiceStart before = set == startBefore_.end() ? state.start : set->second;
        if (const int32_t refused = journal_.ServiceChanging(name, before, state.start, true)) {
            return static_cast<uint32_t>(refused);
        }
        return inner_.Stop(name);
    }
    uint32_t Start(const std::string& name) override { return inner_.Start(name); }
    std::string ErrorText(uint32_t code) override { return inner_.ErrorText(code); }

private:
    ServiceControl& inner_;
    SystemJournal& journal_;
    std::map<std::string, ServiceStart> startBefore_;  // the first start this run replaced
};

class JournalingTasks final : public ScheduledTasks {
public:
    // HRESULT_FROM_WIN32 of the journal's Windows error, as the scheduler's results are HRESULTs.
    static int32_t FromWin32(int32_t error) {
        return error <= 0 ? error : static_cast<int32_t>((error & 0xFFFF) | 0x80070000u);
    }

    JournalingTasks(ScheduledTasks& inner, SystemJournal& journal)
        : inner_(inner), journal_(journal) {}

    int32_t IsEnabled(const std::string& path, bool& enabled) override {
        return inner_.IsEnabled(path, enabled);
    }
    int32_t SetEnabled(const std::string& path, bool enabled) override {
        bool before = false;
        if (const int32_t read = inner_.IsEnabled(path, before); read < 0) return read;
        if (const int32_t refused = journal_.TaskChanging(path, before, enabled)) {
            return FromWin32(refused);
        }
        return inner_.SetEnabled(path, enabled);
    }
    std::string ErrorText(int32_t hresult) override { return inner_.ErrorText(hresult); }

private:
    ScheduledTasks& inner_;
    SystemJournal& journal_;
};
