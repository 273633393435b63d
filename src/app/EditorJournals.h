#pragma once
// The editor's runs with their journals, and their undoing: one journal per Run in the
// machine's journal folder, which only administrators may change, in the format of
// OrvikCli apply --journal; Undo last run takes the newest one not undone back as OrvikCli undo
// does and renames it, so that it is not offered again.

#include <optional>
#include <string>

#include "engine/EnginePlatform.h"
#include "ui/EditorServices.h"

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
    explicit EditorJournals(const JournalPlatform& platform) : platform_(platform) {}

    // Applies the enabled entries with a journal; nothing when the journal cannot be made.
    RunOutcome Run(const OptimizationList& Settings, const std::string& cataloguePath);
    std::optional<JournalEntry> LastRun();
    UndoOutcome Undo(const JournalEntry& run);

private:
    std::string Folder();
    std::string PrepareFolder();  // why the folder cannot take journals; empty when it can

    JournalPlatform platform_;
};
