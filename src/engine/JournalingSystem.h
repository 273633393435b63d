#pragma once
// The Service Control Manager and Task Scheduler as a journaled run goes through them: before a
// start type or an enabled flag is set, the state it replaces goes into the journal with what is
// set, so that undo can put it back. A change whose state cannot be read, or that the journal
// cannot take, is not made.

#include <cstdint>
#include <string>

#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"

class SystemJournal {
public:
    virtual ~SystemJournal() = default;
    // 0, or the Windows error code that refuses the change (the journal could not be written).
    virtual int32_t ServiceChanging(const std::string& name, const ServiceStart& before,
                                    const ServiceStart& after) = 0;
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
        return inner_.SetStart(name, start);
    }
    std::string ErrorText(uint32_t code) override { return inner_.ErrorText(code); }

private:
    ServiceControl& inner_;
    SystemJournal& journal_;
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
