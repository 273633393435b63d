#pragma once
// What undo found and did, for the console: text for people, JSON for scripts.

#include <string>
#include <vector>

#include "engine/journal/Undo.h"

namespace cli {

using engine::Journal;
using engine::Problem;
using engine::UndoEntry;

struct UndoReport {
    std::string path;
    Journal journal;
    std::vector<Problem> problems;  // the journal's and the command's
    std::vector<UndoEntry> entries;
    bool ran = false;            // the records were undone
    bool dryRun = false;         // --dry-run: what undo would do; nothing was changed
    bool cleanupFailed = false;  // the default profile stays loaded
    int exitCode = 0;
};

int ExitCodeOf(const UndoReport& report);
std::string UndoText(const UndoReport& report);
std::string UndoJson(const UndoReport& report);

}  // namespace cli
