#pragma once
// A journal is an instruction as much as the catalogue: undo writes what it says into the
// registry. An elevated program judges it, and the folder a new one goes into, as it judges the
// catalogue (env/FileTrust), and gives a journal it makes an access list of its own.

#include <string>
#include <vector>

#include "engine/checks/Checks.h"

class FileSecurity;

namespace engine {

struct JournalTrust {
    // An elevated program neither reads nor writes the journal (unless trusted for the run).
    bool refused = false;
    std::string reason;  // what is wrong with it, as the problem's message begins
    // journal-not-protected (an error when refused, else a warning) and folder-not-protected.
    std::vector<Problem> problems;
};

// Before undo reads it: the file, its folder and (warnings) the folders above. Elevated, a
// journal that is missing is not read at all ("unreadable").
JournalTrust CheckJournalToRead(FileSecurity& security, const std::string& path, bool trusted);

// Before apply makes it: the folder it goes into, where others may add files but must not
// replace or rename them.
JournalTrust CheckJournalToWrite(FileSecurity& security, const std::string& path, bool trusted);

// The access list of a journal made just now: administrators and SYSTEM only. A failure is
// refused like an unprotected journal (elevated and not trusted), a warning otherwise.
JournalTrust ProtectNewJournal(FileSecurity& security, const std::string& path, bool trusted);

}  // namespace engine
