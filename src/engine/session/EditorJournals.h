#pragma once
// The editor's runs with their journals, and their undoing, through the engine's session as the
// console's: one journal per Run in the machine's journal folder, which only administrators may
// change; Undo last run takes the newest one not undone back and renames it, so that it is not
// offered again. What is the editor's own is here: the folder, the journals' names, the last run
// and how the outcomes are told.

#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"

namespace engine {
class Session;
}

// What Run did: the journal it kept, or why it did not run.
struct RunOutcome {
    std::string journal;  // its path
    std::string refusal;  // not empty: nothing was applied, for this reason
    // Not empty: the journal stopped taking changes part-way, for this reason; registry values
    // after that were left as they were, and the journal holds what was changed.
    std::string cutShort;
};

// A run of the editor that can be undone.
struct JournalEntry {
    std::string path;
    std::string time;  // when the run was, as its journal says
};

// What undoing a run did.
struct UndoOutcome {
    size_t putBack = 0;                  // values restored or removed
    std::vector<std::string> conflicts;  // values changed since the run, left alone
    std::vector<std::string> failures;   // values that could not be put back, and why
    std::string refusal;                 // not empty: nothing was undone, for this reason
};

class ConsoleFiles;
class FileSecurity;
class Shell;

// Where the journals are, before the environment is expanded.
inline constexpr const char* kJournalFolder = "%ProgramData%\\Orvik Optimizer\\Journals";
inline constexpr const char* kJournalSuffix = ".journal";
// Appended to the name of a journal that has been undone.
inline constexpr const char* kUndoneSuffix = ".undone";

struct JournalPlatform {
    const EnginePlatform& machine;
    ConsoleFiles& files;
    Shell& shell;
    FileSecurity& security;
};

class EditorJournals {
public:
    EditorJournals(const JournalPlatform& platform, engine::Session& session)
        : platform_(platform), session_(session) {}

    // Applies the enabled entries with a journal; nothing when the journal cannot be made. The
    // journal names the catalogue as the session last read it.
    RunOutcome Run(const OptimizationList& Settings);
    std::optional<JournalEntry> LastRun();
    UndoOutcome Undo(const JournalEntry& run);

private:
    std::string Folder();
    std::string PrepareFolder();  // why the folder cannot take journals; empty when it can

    JournalPlatform platform_;
    engine::Session& session_;
};
