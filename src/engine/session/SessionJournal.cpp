// The run's registries set up in their order and taken down again, the journal from its head to
// its end, and undo with the default profile's hive.

#include "OrvikVersion.h"
#include "engine/journal/Journal.h"
#include "engine/journal/JournalTrust.h"
#include "engine/journal/Profile.h"
#include "engine/plan/PlanAdapters.h"
#include "engine/session/SessionStack.h"
#include "platform/Clock.h"
#include "platform/ConsoleFiles.h"
#include "platform/SystemInfo.h"

namespace engine {
namespace {

// Windows' ERROR_FILE_EXISTS: a journal's name that is taken.
constexpr uint32_t kNameTaken = 80;

Problem Failure(const char* code, std::string message) {
    return {Problem::Severity::Error, code, 0, 0, std::move(message)};
}

}  // namespace

// A new journal with its head written, or why not. A file that could not take the head goes
// again, so that the same run can be made once more.
std::optional<Problem> Session::StartJournal(const RunRequest& request, Stack& stack,
                                             RunResult& result) {
    ConsoleFiles& files = platform_.files;
    const EnvPlatform& env = platform_.machine.env;
    const std::string& time = stack.time;
    std::string path;
    uint32_t error = 0;
    for (int attempt = 1; !stack.file && attempt <= 9; ++attempt) {
        const std::string next = request.journal(time, attempt);
        if (attempt > 1 && next == path) break;
        path = next;
        stack.file = files.Create(path, false, error);
        if (error != kNameTaken) break;
    }
    if (stack.file && platform_.security) {
        const JournalTrust kept =
            ProtectNewJournal(*platform_.security, path, request.trustJournal);
        if (kept.refused) {
            stack.file.reset();
            files.Remove(path);
            return kept.problems.front();
        }
        result.problems.insert(result.problems.end(), kept.problems.begin(), kept.problems.end());
    }
    if (stack.file) {
        stack.journal.emplace(
            *stack.file,
            JournalHeader{ORVIK_VERSION, catalogue_.path, catalogue_.sha256,
                          env.system.ComputerName(), time, request.users, request.hiveFile});
        error = stack.journal->Failure();
    }
    if (error == 0) {
        result.journalPath = path;
        return std::nullopt;
    }
    if (stack.file) {
        stack.journal.reset();
        stack.file.reset();  // closed, so that it can be deleted
        files.Remove(path);
    }
    return Failure("journal-not-made", path + " could not be made: " + files.ErrorText(error));
}

// The registries in their order: the journal's right above the machine, so that it names places
// as the machine has them (and the journal's services and tasks above the machine's); a plan's
// above it; the default profile's mapping outermost, so that each user's writes are its own.
bool Session::Prepare(const RunRequest& request, Stack& stack, RunResult& result) {
    Registry& machine = platform_.machine.registry;
    stack.registry = &machine;
    if (request.mode == RunMode::Apply && platform_.lock) {
        stack.lock = RunLockHold(*platform_.lock, request.lockWait);
        if (stack.lock.problem) result.problems.push_back(*stack.lock.problem);
        result.busy = stack.lock.busy();
        if (!stack.lock.MayRun()) return false;
    }
    stack.services = &platform_.machine.services;
    stack.tasks = &platform_.machine.tasks;
    stack.time = platform_.machine.env.clock.UtcTimestamp();
    const bool journaled = request.journal && request.mode == RunMode::Apply;
    if (journaled && platform_.security) {
        const JournalTrust place = CheckJournalToWrite(
            *platform_.security, request.journal(stack.time, 1), request.trustJournal);
        result.problems.insert(result.problems.end(), place.problems.begin(), place.problems.end());
        if (place.refused) return false;
    }
    if (request.users != Users::Current) {
        if (!platform_.hives) {
            result.problems.push_back(Failure(
                "hive-not-loaded", "this program does not load the default profile's hive"));
            return false;
        }
        stack.profile.emplace(*platform_.hives, machine);
        if (std::optional<Problem> failed = stack.profile->Load(request.hiveFile)) {
            result.problems.push_back(*failed);
            stack.profile.reset();
            return false;
        }
    }
    if (journaled) {
        if (std::optional<Problem> failed = StartJournal(request, stack, result)) {
            result.problems.push_back(*failed);
            return false;
        }
        stack.registry = &stack.journaled.emplace(machine, *stack.journal);
        stack.services = &stack.journaledServices.emplace(*stack.services, *stack.journal);
        stack.tasks = &stack.journaledTasks.emplace(*stack.tasks, *stack.journal);
    }
    if (request.mode == RunMode::Plan) {
        stack.registry =
            &stack.plan.emplace(platform_.machine, *stack.registry, platform_.programs).registry;
    }
    if (stack.profile) {
        Registry& hive = stack.profile->Over(*stack.registry, Users::Default);
        if (request.users == Users::Both)
            stack.users = {{"current", stack.registry}, {"default", &hive}};
        if (request.users == Users::Default) stack.registry = &hive;
    }
    return true;
}

// Unloaded here rather than when the stack goes, so that a hive that stays loaded is reported;
// then the journal's end.
void Session::Finish(Stack& stack, RunResult& result) {
    if (stack.profile) {
        if (std::optional<Problem> stays = stack.profile->Unload()) {
            result.problems.push_back(*stays);
            result.cleanupFailed = true;
        }
    }
    if (!stack.journal) return;
    stack.journal->End();
    if (const uint32_t error = stack.journal->Failure()) {
        result.problems.push_back(
            Failure("journal-failed", result.journalPath + " could not be written (" +
                                          platform_.files.ErrorText(error) +
                                          "): from the value that failed on, nothing was written"));
        result.journalFailure = error;
    }
}

UndoRun Session::Undo(const UndoRequest& request) {
    UndoRun run;
    run.path = request.journal;
    // Held until the records are undone; first, so that a refused undo reads nothing.
    RunLockHold lock;
    if (!request.dryRun && platform_.lock) {
        lock = RunLockHold(*platform_.lock, request.lockWait);
        if (lock.problem) run.problems.push_back(*lock.problem);
        run.busy = lock.busy();
        if (!lock.MayRun()) {
            run.refusal = lock.problem->message;
            return run;
        }
    }
    if (platform_.security) {
        JournalTrust trust =
            CheckJournalToRead(*platform_.security, run.path, request.trustJournal);
        run.problems = std::move(trust.problems);
        // Refused: not read at all, so that nothing of it is obeyed.
        if (trust.refused) {
            run.refusal = trust.reason;
            return run;
        }
    }
    if (const std::optional<std::string> bytes = platform_.files.Read(run.path, run.readError)) {
        run.journal = ReadJournal(*bytes);
        if (!run.journal.isJournal) {
            run.problems.push_back(
                Failure("no-journal", "the file is no journal of OrvikCli apply: nothing done"));
        }
    } else {
        run.problems.push_back(Failure(
            "unreadable", "the file cannot be read: " + platform_.files.ErrorText(run.readError)));
    }
    const Journal& journal = run.journal;
    run.problems.insert(run.problems.end(), journal.problems.begin(), journal.problems.end());
    const std::string machineName = platform_.machine.env.system.ComputerName();
    if (journal.isJournal && journal.header.machine != machineName) {
        run.problems.push_back(
            {Problem::Severity::Warning, "other-machine", 0, 0,
             "the run was on " + journal.header.machine + ", this is " + machineName});
    }
    UndoRecordsOf(request, run);
    return run;
}

void Session::UndoRecordsOf(const UndoRequest& request, UndoRun& run) {
    const Journal& journal = run.journal;
    Registry& machine = platform_.machine.registry;
    std::optional<LoadedProfile> profile;
    std::optional<Problem> failed;
    if (TouchesProfile(journal.records)) {
        if (!platform_.hives) {
            failed = Failure("hive-not-loaded",
                             "the run changed the default profile, which this program does not "
                             "load: nothing done");
        } else {
            profile.emplace(*platform_.hives, machine);
            failed = profile->Load(request.hiveFile.value_or(journal.header.hiveFile));
        }
    }
    if (failed) {
        run.problems.push_back(*failed);
        return;
    }
    if (!journal.isJournal) return;
    run.ran = true;
    // A dry run reads the machine and keeps its own writes, as a plan does.
    const EnginePlatform& system = platform_.machine;
    std::optional<PlanRegistry> planned;
    std::optional<PlanServices> plannedServices;
    std::optional<PlanTasks> plannedTasks;
    Registry& target = request.dryRun ? planned.emplace(machine) : machine;
    run.dryRun = request.dryRun;
    run.entries =
        UndoRecords(journal.records,
                    {profile ? profile->Over(target, Users::Current) : target,
                     request.dryRun ? plannedServices.emplace(system.services) : system.services,
                     request.dryRun ? plannedTasks.emplace(system.tasks) : system.tasks});
    NameFailures(run.entries, platform_.machine.env.system);
    if (profile) failed = profile->Unload();
    if (failed) run.problems.push_back(*failed);
    run.cleanupFailed = failed.has_value();
}

}  // namespace engine
