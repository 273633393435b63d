#include "engine/journal/JournalTrust.h"

#include "env/FileTrust.h"
#include "platform/FileSecurity.h"

namespace engine {
namespace {

using State = trust::Verdict::State;

// What an elevated run does with a journal it refuses, and with one it was told to trust.
struct Words {
    const char* refused;  // "nothing is undone"
    const char* trusted;  // "trusted for this run"
};

JournalTrust Judged(FileSecurity& security, const trust::Verdict& verdict, bool trusted,
                    const Words& words) {
    JournalTrust judged;
    const bool elevated = security.IsElevated();
    if (verdict.state == State::NotProtected || verdict.state == State::Unknown) {
        judged.refused = elevated && !trusted;
        judged.reason = verdict.reason;
        const std::string outcome = !elevated ? ": a run as administrator refuses it"
                                    : trusted ? std::string(": ") + words.trusted
                                              : std::string(": ") + words.refused +
                                                    " (--trust-journal takes it for this run)";
        judged.problems.push_back(
            {judged.refused ? Problem::Severity::Error : Problem::Severity::Warning,
             "journal-not-protected", 0, 0, verdict.reason + outcome});
    }
    for (const std::string& warning : verdict.warnings) {
        judged.problems.push_back({Problem::Severity::Warning, "folder-not-protected", 0, 0,
                                   warning + ": whoever may do so can put another journal here"});
    }
    return judged;
}

}  // namespace

JournalTrust CheckJournalToRead(FileSecurity& security, const std::string& path, bool trusted) {
    const trust::Verdict verdict = trust::JudgeFile(security, path);
    // Not read when it is missing now: whoever may add files to its folder could put one there
    // before it is read.
    if (verdict.state == State::Missing && security.IsElevated() && !trusted) {
        return {true,
                path + " does not exist",
                {{Problem::Severity::Error, "unreadable", 0, 0,
                  "the file cannot be read: " + security.ErrorText(2)}}};
    }
    return Judged(security, verdict, trusted,
                  {"nothing is undone", "undone all the same (--trust-journal)"});
}

JournalTrust CheckJournalToWrite(FileSecurity& security, const std::string& path, bool trusted) {
    return Judged(security, trust::JudgeFolderOf(security, path), trusted,
                  {"nothing is applied", "written all the same (--trust-journal)"});
}

JournalTrust ProtectNewJournal(FileSecurity& security, const std::string& path, bool trusted) {
    const uint32_t error = security.ProtectFile(path);
    if (error == 0) return {};
    const trust::Verdict failed{State::Unknown,
                                path +
                                    " could not be given an access list for administrators only: " +
                                    security.ErrorText(error),
                                {}};
    return Judged(security, failed, trusted,
                  {"nothing is applied", "written all the same (--trust-journal)"});
}

}  // namespace engine
