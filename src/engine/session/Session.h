#pragma once
// One engine session behind both programs: what the editor and the console do with a catalogue
// goes through here, so that both select, plan, apply and undo an entry the same way. The session
// owns the order of the registries a run goes through (the journal's right above the machine,
// then a plan's, then the default profile's mapping), the journal from its head to its end, the
// launcher that starts no command once the journal has failed, the default profile's hive, and
// the plan's adapters. The programs only say what to do and show what came of it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/Outcomes.h"
#include "engine/RunObserver.h"
#include "engine/Users.h"
#include "engine/checks/Checks.h"
#include "engine/journal/Undo.h"
#include "engine/plan/EntryPlans.h"

class ConsoleFiles;
class FileSecurity;
class RunLock;
class ProgramSearch;
class UserHives;
class XmlDocumentFactory;

namespace engine {

struct SessionPlatform {
    // The machine as apply changes it; messages shows the WMI warnings of a run that asks for it.
    EnginePlatform machine;
    XmlDocumentFactory& xml;
    ProgramSearch& programs;           // where a plan finds the programs of command lines
    ConsoleFiles& files;               // the journals
    UserHives* hives = nullptr;        // the default profile's hive; none: the current user's only
    FileSecurity* security = nullptr;  // who may change a journal; none: not judged
    RunLock* lock = nullptr;           // held by apply and undo; none: runs not kept apart
};

// The catalogue file as read: its bytes once, and their digest, which a journal's head names.
struct CatalogueRead {
    std::string path;
    std::optional<std::string> bytes;   // none when it cannot be read
    std::optional<std::string> sha256;  // of bytes
    std::string why;                    // why it cannot be read
};

// Which entries a run takes: each kind narrows, any of its values will do; excluded then leaves
// out. Categories and impacts upper-cased, as names are compared.
struct Selection {
    std::vector<std::string> items, categories, impacts, excluded;
    Users users = Users::Current;  // a warning for values new users would not get
};

struct Selected {
    // The enabled entries taken, in catalogue order, also those for other Windows versions.
    OptimizationList entries;
    // item-not-enabled, classes-not-in-profile.
    std::vector<Problem> warnings;
    // Not empty: a value of the selection that no entry has, a typing error; nothing selected.
    std::string wrongUsage;
};

[[nodiscard]] Selected Select(const OptimizationList& catalogue, const Selection& selection);

struct RunRequest {
    RunMode mode = RunMode::Plan;
    Users users = Users::Current;
    std::string hiveFile;  // the default profile's, for users other than Current
    // Apply: the journal's path for the run's time and an attempt from 1; a path that is taken is
    // tried again with the next attempt while that gives another path. Empty: no journal.
    std::function<std::string(const std::string& time, int attempt)> journal{};
    // Each command line awaited up to it; none: not awaited.
    std::optional<std::chrono::milliseconds> commandLimit{};
    // Only the entries offered on this Windows version run; none: all of them.
    std::optional<int32_t> offeredOn{};
    bool showWarnings = false;  // a WMI warning as a message box; else only reported
    bool trustJournal = false;  // an elevated run writes a journal others may change
    // Apply: how long to wait for another run that holds the machine's run lock; 0: not at all.
    std::chrono::milliseconds lockWait{0};
};

// What a run tells as it goes: the runners' records, each with its word (OutcomeWord), and
// before the first entry how many entries run.
class SessionObserver : public RunObserver {
public:
    // journaled: the run keeps a journal.
    virtual void RunStarts(size_t running, bool journaled) = 0;
};

struct RunResult {
    std::vector<Problem> problems;  // why it stopped, the hive staying loaded, the journal failing
    bool stopped = false;           // nothing ran: what it needs could not be had
    bool busy = false;              // stopped: another run held the machine's run lock
    bool cleanupFailed = false;     // the default profile's hive stays loaded
    std::string journalPath;        // the journal kept, empty when none
    // The journal stopped taking changes part-way with this error; the changes after it were
    // not made and no command was started after it.
    uint32_t journalFailure = 0;
    // Failure lines that the log (SarnetLog.txt) could not take, and the file they were meant for.
    size_t lostLogLines = 0;
    std::string logPath;
};

struct UndoRequest {
    std::string journal;                    // its path
    std::optional<std::string> hiveFile{};  // the default profile's, else the journal's own
    bool dryRun = false;                    // read the machine, change nothing
    bool trustJournal = false;              // an elevated undo reads one others may change
    std::chrono::milliseconds lockWait{0};  // for another run's lock, as a run's
};

struct UndoRun {
    std::string path;
    Journal journal;
    uint32_t readError = 0;  // the journal could not be read
    // Not read at all, for this reason: others may change it, or the run lock was not had.
    std::string refusal;
    bool busy = false;              // another run held the machine's run lock
    std::vector<Problem> problems;  // the journal's and the undo's
    std::vector<UndoEntry> entries;
    bool ran = false;            // the records were undone
    bool dryRun = false;         // what undo would do; nothing was changed
    bool cleanupFailed = false;  // the default profile's hive stays loaded
};

class Session {
public:
    explicit Session(const SessionPlatform& platform) : platform_(platform) {}

    // Read once: what is parsed is what is hashed, and the journal of a later run names it.
    const CatalogueRead& ReadCatalogue(const std::string& path);
    // Plan or apply the entries; the observer, when given, hears of each action.
    [[nodiscard]] RunResult Run(const OptimizationList& entries, const RunRequest& request,
                                SessionObserver* observer = nullptr);
    // Whether an entry is in effect: a plan of it alone, without its WMI queries.
    [[nodiscard]] EntryPlan PlanEntry(const OptimizationItem& entry);
    [[nodiscard]] UndoRun Undo(const UndoRequest& request);

private:
    struct Stack;
    // What a run needs is had here, in order, before anything is written: the machine's run lock
    // (apply), a refusal of the whole run, then the hive, then the journal (its head), then the
    // registries' order.
    bool Prepare(const RunRequest& request, Stack& stack, RunResult& result);
    std::optional<Problem> StartJournal(const RunRequest& request, Stack& stack, RunResult& result);
    void Execute(const OptimizationList& entries, const RunRequest& request, Stack& stack,
                 RunResult& result, SessionObserver* observer);
    // The hive let go, then the journal's end.
    void Finish(Stack& stack, RunResult& result);
    // After the journal is read and judged: the hive, then the records undone.
    void UndoRecordsOf(const UndoRequest& request, UndoRun& run);

    SessionPlatform platform_;
    CatalogueRead catalogue_;
};

}  // namespace engine
