#pragma once
// What undo found and did, for the console: text for people, JSON for scripts.

#include <string>
#include <vector>

#include "engine/session/Session.h"

namespace cli {

using engine::Journal;
using engine::Problem;
using engine::UndoEntry;

// What the session's undo did, with the command's exit code.
struct UndoReport : engine::UndoRun {
    int exitCode = 0;
};

int ExitCodeOf(const UndoReport& report);
std::string UndoText(const UndoReport& report);
std::string UndoJson(const UndoReport& report);

}  // namespace cli
