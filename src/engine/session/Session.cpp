#include "engine/session/Session.h"

#include "engine/session/SessionStack.h"

#include <memory>

#include "catalogue/Codes.h"
#include "engine/JournalingRegistry.h"
#include "engine/checks/Sha256.h"
#include "engine/journal/Journal.h"
#include "engine/journal/Profile.h"
#include "engine/plan/PlanAdapters.h"
#include "engine/runner.h"
#include "env/WatchedLog.h"
#include "platform/Clock.h"
#include "platform/ConsoleFiles.h"
#include "platform/SystemInfo.h"
#include "platform/XmlDocument.h"

namespace engine {
namespace {

// A plan's record of a command line, with why its effect cannot be known where that is so.
ActionRecord Planned(const ActionRecord& record) {
    ActionRecord planned = record;
    if (record.kind == ActionRecord::Kind::Command) {
        planned.note = UnknowableEffect(record.command->Command);
    }
    return planned;
}

// Hands each record on with its word, into the journal too, and tells a plan's program. An
// action the journal stopped says so, rather than what the refused write or start looked like.
class Tap final : public RunObserver {
public:
    Tap(RunMode mode, SessionObserver* observer, JournalWriter* journal, PlanLauncher* launcher)
        : mode_(mode), observer_(observer), journal_(journal), launcher_(launcher) {}
    // The journal's path and the words for its errors, for the actions it stops.
    Tap(RunMode mode, SessionObserver* observer, JournalWriter* journal, std::string path,
        ConsoleFiles& files)
        : Tap(mode, observer, journal, nullptr) {
        path_ = std::move(path);
        files_ = &files;
    }

    void EntryStarts(const OptimizationItem& entry) override {
        leftOut_ = false;
        if (journal_) journal_->Entry(entry);
        if (observer_) observer_->EntryStarts(entry);
    }
    // Not in the journal: nothing of it was done.
    void EntryLeftOut(const OptimizationItem& entry) override {
        leftOut_ = true;
        if (observer_) observer_->EntryLeftOut(entry);
    }
    void Reported(const ActionRecord& record) override {
        if (journal_ && journal_->Refusals() != refusals_) {
            refusals_ = journal_->Refusals();
            if (record.outcome == ActionRecord::Outcome::Failed)
                return Pass(StoppedByJournal(record));
        }
        Pass(record);
    }
    void EntryEnds(const OptimizationItem& entry) override {
        if (journal_) journal_->Flush();
        if (observer_) observer_->EntryEnds(entry);
    }

private:
    void Pass(const ActionRecord& record) {
        if (journal_ && !leftOut_) journal_->Action(record, OutcomeWord(record, mode_));
        if (!observer_) return;
        if (!launcher_ || record.kind != ActionRecord::Kind::Command) {
            return observer_->Reported(record);
        }
        ActionRecord found = Planned(record);
        found.program = launcher_->lastProgram;
        observer_->Reported(found);
    }
    ActionRecord StoppedByJournal(ActionRecord record) const {
        const uint32_t failure = journal_->Failure();
        const std::string text = files_ ? files_->ErrorText(failure) : std::to_string(failure);
        const ErrorRecord was = record.error.value_or(ErrorRecord(0, "", ""));
        record.error.emplace(
            was.Number, was.Source,
            "not done: the journal " + path_ + " could not be written (" + text + ")", failure,
            text);
        return record;
    }

    RunMode mode_;
    SessionObserver* observer_;
    JournalWriter* journal_;
    PlanLauncher* launcher_;
    std::string path_;
    ConsoleFiles* files_ = nullptr;
    size_t refusals_ = 0;
    bool leftOut_ = false;
};

// How many of the entries run: those offered on offeredOn, or all.
size_t Running(const OptimizationList& entries, std::optional<int32_t> offeredOn) {
    size_t running = 0;
    for (const OptimizationItemPtr& entry : entries) {
        if (!offeredOn || codes::IsOffered(entry->osVersions, *offeredOn)) ++running;
    }
    return running;
}

// Collects an entry's actions for its state.
class Records final : public RunObserver {
public:
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override { records.push_back(Planned(record)); }
    void EntryEnds(const OptimizationItem&) override {}

    std::vector<ActionRecord> records;
};

}  // namespace

const CatalogueRead& Session::ReadCatalogue(const std::string& path) {
    catalogue_ = {path, std::nullopt, std::nullopt, ""};
    try {
        catalogue_.bytes = platform_.xml.ReadFileBytes(path, catalogue_.why);
    } catch (const std::exception& failure) {
        catalogue_.why = std::string("cannot be read (") + failure.what() + ")";
    }
    if (catalogue_.bytes) catalogue_.sha256 = Sha256Hex(*catalogue_.bytes);
    return catalogue_;
}

RunResult Session::Run(const OptimizationList& entries, const RunRequest& request,
                       SessionObserver* observer) {
    RunResult result;
    Stack stack;
    if (!Prepare(request, stack, result)) {
        result.stopped = true;
        Finish(stack, result);
        return result;
    }
    if (observer)
        observer->RunStarts(Running(entries, request.offeredOn), stack.journal.has_value());
    Execute(entries, request, stack, result, observer);
    Finish(stack, result);
    return result;
}

void Session::Execute(const OptimizationList& entries, const RunRequest& request, Stack& stack,
                      RunResult& result, SessionObserver* observer) {
    const EnginePlatform& machine = platform_.machine;
    NoMessageBoxes noBoxes;
    MessageBoxes& boxes = request.showWarnings ? machine.messages : noBoxes;
    if (stack.plan) {
        PlanPlatform& plan = *stack.plan;
        const EnginePlatform planned{plan.env,      *stack.registry, plan.launcher, machine.wmi,
                                     plan.services, plan.tasks,      boxes,         stack.users};
        Tap tap(request.mode, observer, nullptr, &plan.launcher);
        runner(planned, &tap).RunOptimizations(entries, request.offeredOn);
        return;
    }
    ProcessLauncher& processes = stack.journal
                                     ? stack.launcher.emplace(machine.processes, *stack.journal)
                                     : machine.processes;
    WatchedLog log(machine.env.files);
    const EnginePlatform applied{{machine.env.system, machine.env.clock, log},
                                 *stack.registry,
                                 processes,
                                 machine.wmi,
                                 *stack.services,
                                 *stack.tasks,
                                 boxes,
                                 stack.users};
    Tap tap(request.mode, observer, stack.journal ? &*stack.journal : nullptr, result.journalPath,
            platform_.files);
    runner(applied, &tap, request.commandLimit).RunOptimizations(entries, request.offeredOn);
    result.lostLogLines = log.lostLines;
    result.logPath = log.lostPath;
}

EntryPlan Session::PlanEntry(const OptimizationItem& entry) {
    auto alone = std::make_shared<OptimizationItem>(entry);
    alone->Enabled = true;
    alone->wmiItems.clear();
    const EnginePlatform& machine = platform_.machine;
    PlanPlatform plan(machine, machine.registry, platform_.programs);
    const EnginePlatform planned{plan.env,      plan.registry, plan.launcher, machine.wmi,
                                 plan.services, plan.tasks,    plan.noBoxes};
    Records observer;
    runner(planned, &observer).RunOptimizations({alone});
    return JudgePlan(observer.records);
}

}  // namespace engine
