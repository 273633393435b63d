#include "engine/session/EditorJournals.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/journal/Journal.h"
#include "engine/session/Session.h"
#include "env/FileTrust.h"
#include "platform/Clock.h"
#include "platform/ConsoleFiles.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "2026-12-07T03:45:12Z" as a file name: no colons.
std::string FileNameOf(std::string time) {
    std::replace(time.begin(), time.end(), ':', '-');
    return time;
}

// A second run within the same second gets a name of its own, which sorts after the first.
std::string JournalName(const std::string& folder, const std::string& time, int attempt) {
    std::string path = folder + "\\" + FileNameOf(time);
    if (attempt > 1) path.append(1, '_').append(std::to_string(attempt));
    return path + kJournalSuffix;
}

std::string ValueName(const engine::JournalRecord& record) {
    const RegistryChange& change = record.change;
    return reg::RootName(change.root) + "\\" + change.subKey + "\\" + change.valueName;
}

}  // namespace

std::string EditorJournals::Folder() {
    Registry& registry = platform_.machine.registry;
    const uint32_t size = registry.ExpandEnvironment(kJournalFolder, nullptr, 0);
    std::string expanded(size, '\0');
    if (size == 0 || registry.ExpandEnvironment(kJournalFolder, expanded.data(), size) == 0) {
        return kJournalFolder;
    }
    expanded.resize(expanded.find('\0'));
    return expanded;
}

std::string EditorJournals::PrepareFolder() {
    // The product's folder first, so that nobody else may swap the journals' folder itself.
    const std::string folder = Folder();
    for (const std::string& path : {trust::ParentFolder(folder), folder}) {
        const trust::Verdict verdict = trust::PrepareAdministratorsFolder(platform_.security, path);
        if (verdict.state != trust::Verdict::State::Protected) {
            return verdict.reason.empty() ? path + " cannot take journals" : verdict.reason;
        }
    }
    return "";
}

RunOutcome EditorJournals::Run(const OptimizationList& Settings) {
    const std::string refusal = PrepareFolder();
    if (!refusal.empty()) return {"", "the journal of the run cannot be kept: " + refusal, ""};
    engine::RunRequest request;
    request.mode = engine::RunMode::Apply;
    request.showWarnings = true;
    request.trustJournal = true;  // its folder is made for administrators only (PrepareFolder)
    request.journal = [folder = Folder()](const std::string& time, int attempt) {
        return JournalName(folder, time, attempt);
    };
    const engine::RunResult result = session_.Run(Settings, request);
    if (result.stopped) return {"", result.problems.front().message, ""};
    if (result.journalFailure != 0) {
        return {result.journalPath, "",
                "the journal could not be written on (" +
                    platform_.files.ErrorText(result.journalFailure) +
                    "), so no registry value was changed and no command started after that"};
    }
    return {result.journalPath, "", ""};
}

std::optional<JournalEntry> EditorJournals::LastRun() {
    // Named by the time of the run, so the last name in order is the newest run.
    std::vector<std::string> names = platform_.shell.FileNames(Folder());
    std::sort(names.begin(), names.end());
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!EndsWith(*name, kJournalSuffix)) continue;
        const std::string path = Folder() + "\\" + *name;
        uint32_t error = 0;
        const std::optional<std::string> bytes = platform_.files.Read(path, error);
        const engine::Journal read = bytes ? engine::ReadJournal(*bytes) : engine::Journal{};
        return JournalEntry{path, read.isJournal ? read.header.time : *name};
    }
    return std::nullopt;
}

UndoOutcome EditorJournals::Undo(const JournalEntry& run) {
    // This program loads no profile's hive: the session refuses a run that changed it.
    const engine::UndoRun undone = session_.Undo({run.path, std::nullopt, false});
    if (!undone.refusal.empty()) return {0, {}, {}, undone.refusal};
    if (undone.readError != 0) {
        return {0,
                {},
                {},
                run.path + " cannot be read: " + platform_.files.ErrorText(undone.readError)};
    }
    if (!undone.journal.isJournal) return {0, {}, {}, run.path + " is no journal of a run"};
    if (!undone.ran) {
        return {0, {}, {}, run.path + " changed the default profile: undo it with OrvikCli undo"};
    }
    using Outcome = engine::UndoAction::Outcome;
    UndoOutcome outcome;
    for (const engine::UndoEntry& entry : undone.entries) {
        for (const engine::UndoAction& action : entry.actions) {
            if (action.record->kind != engine::JournalRecord::Kind::Value) continue;
            if (action.outcome == Outcome::Restored || action.outcome == Outcome::Removed) {
                ++outcome.putBack;
            }
            if (action.outcome == Outcome::Conflict) {
                outcome.conflicts.push_back(ValueName(*action.record));
            }
            if (action.outcome == Outcome::Failed) {
                outcome.failures.push_back(
                    ValueName(*action.record) + ": " +
                    platform_.files.ErrorText(static_cast<uint32_t>(action.error)));
            }
        }
    }
    // Not offered again; a failure to rename leaves it offered, which is safe: undo is repeatable.
    platform_.shell.ReplaceFile(run.path, run.path + kUndoneSuffix);
    return outcome;
}
