#pragma once
// The pieces of one run of the session: the launcher that the journal stops, the plan's adapters
// and the registries in their order. Only the session includes this.

#include <memory>
#include <optional>
#include <vector>

#include "engine/JournalingRegistry.h"
#include "engine/journal/Journal.h"
#include "engine/journal/Profile.h"
#include "engine/plan/PlanAdapters.h"
#include "engine/session/RunLockHold.h"
#include "engine/session/Session.h"
#include "platform/ConsoleFiles.h"

namespace engine {

// Once the journal has failed, no command starts either: the journal could not tell of it.
class JournaledLauncher final : public ProcessLauncher {
public:
    JournaledLauncher(ProcessLauncher& inner, JournalWriter& journal)
        : inner_(inner), journal_(journal) {}

    uint32_t Start(const std::string& commandLine, WindowStyle style, StartScope* scope) override {
        if (journal_.Failure()) return journal_.Refuse();
        return inner_.Start(commandLine, style, scope);
    }
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style, StartScope* scope,
                          std::chrono::milliseconds limit, Ending& ending) override {
        if (journal_.Failure()) return journal_.Refuse();
        return inner_.StartAndWait(commandLine, style, scope, limit, ending);
    }
    std::string ErrorText(uint32_t code) override { return inner_.ErrorText(code); }

private:
    ProcessLauncher& inner_;
    JournalWriter& journal_;
};

// What turns a run into a plan, over the machine: made the same way for a whole plan and for
// one entry's state.
struct PlanPlatform {
    PlanPlatform(const EnginePlatform& machine, Registry& below, ProgramSearch& programs)
        : registry(below), launcher(programs, machine.processes), services(machine.services),
          tasks(machine.tasks),
          log(machine.env.files), env{machine.env.system, machine.env.clock, log} {}

    PlanRegistry registry;
    PlanLauncher launcher;
    PlanServices services;
    PlanTasks tasks;
    PlanFiles log;
    EnvPlatform env;
    NoMessageBoxes noBoxes;
};

// The registries of one run, outermost last, and what they need; the run lock first, so that it
// is let go last, once the journal has its end.
struct Session::Stack {
    RunLockHold lock;
    std::optional<LoadedProfile> profile;
    std::unique_ptr<OutputFile> file;
    std::optional<JournalWriter> journal;
    std::optional<JournalingRegistry> journaled;
    std::optional<JournalingServices> journaledServices;
    std::optional<JournalingTasks> journaledTasks;
    std::optional<JournaledLauncher> launcher;
    std::optional<PlanPlatform> plan;
    std::string time;  // of the run, UTC: the journal's head and name
    Registry* registry = nullptr;
    ServiceControl* services = nullptr;  // the machine's, or the journal's above it
    ScheduledTasks* tasks = nullptr;
    std::vector<UserTarget> users;
};

}  // namespace engine
