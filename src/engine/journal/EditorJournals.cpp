#include "engine/journal/EditorJournals.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "OrvikVersion.h"
#include "engine/JournalingRegistry.h"
#include "engine/checks/Sha256.h"
#include "engine/journal/Journal.h"
#include "engine/journal/JournalTrust.h"
#include "engine/journal/Undo.h"
#include "engine/runner.h"
#include "env/FileTrust.h"
#include "platform/Clock.h"
#include "platform/ConsoleFiles.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"

namespace {

// Hands the run's entries and actions to the journal, as OrvikCli apply does.
class JournalObserver final : public RunObserver {
public:
    explicit JournalObserver(engine::JournalWriter& writer) : writer_(writer) {}
    void EntryStarts(const OptimizationItem& entry) override { writer_.Entry(entry); }
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override { writer_.Action(record, Outcome(record)); }
    void EntryEnds(const OptimizationItem&) override { writer_.Flush(); }

private:
    // The words of OrvikCli apply.
    static std::string Outcome(const ActionRecord& record) {
        if (record.outcome == ActionRecord::Outcome::Skipped) return "skip";
        if (record.outcome == ActionRecord::Outcome::Failed) return "failed";
        if (record.kind == ActionRecord::Kind::Wmi) return "found";
        if (record.kind == ActionRecord::Kind::Command) return record.exitCode ? "ran" : "started";
        return "applied";
    }
    engine::JournalWriter& writer_;
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "2026-12-07T03:45:12Z" as a file name: no colons.
std::string FileNameOf(std::string time) {
    std::replace(time.begin(), time.end(), ':', '-');
    return time;
}

// The catalogue's digest for the journal's head, as OrvikCli apply records it.
std::optional<std::string> Sha256Of(ConsoleFiles& files, const std::string& path) {
    uint32_t error = 0;
    const std::optional<std::string> bytes = files.Read(path, error);
    return bytes ? engine::Sha256Hex(*bytes) : std::nullopt;
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

RunOutcome EditorJournals::Run(const OptimizationList& Settings, const std::string& cataloguePath) {
    const std::string refusal = PrepareFolder();
    if (!refusal.empty()) return {"", "the journal of the run cannot be kept: " + refusal, ""};
    const EnginePlatform& machine = platform_.machine;
    const std::string time = machine.env.clock.UtcTimestamp();
    // A second run within the same second gets a name of its own, which sorts after the first.
    std::string path;
    std::unique_ptr<OutputFile> file;
    uint32_t error = 0;
    for (int n = 1; !file && n <= 9; ++n) {
        path = Folder() + "\\" + FileNameOf(time);
        if (n > 1) path.append(1, '_').append(std::to_string(n));
        path += kJournalSuffix;
        file = platform_.files.Create(path, false, error);
        if (error != 80) break;  // anything but a name that is taken
    }
    if (!file) return {"", path + " could not be made: " + platform_.files.ErrorText(error), ""};
    engine::JournalWriter writer(
        *file, {ORVIK_VERSION, cataloguePath, Sha256Of(platform_.files, cataloguePath),
                machine.env.system.ComputerName(), time, engine::Users::Current, ""});
    if (const uint32_t failed = writer.Failure()) {
        file.reset();
        platform_.files.Remove(path);
        return {"", path + " could not be written: " + platform_.files.ErrorText(failed), ""};
    }
    JournalingRegistry registry(machine.registry, writer);
    const EnginePlatform journaled{machine.env, registry, machine.processes, machine.wmi,
                                   machine.messages};
    JournalObserver observer(writer);
    runner(journaled, &observer).RunOptimizations(Settings);
    writer.End();
    if (const uint32_t failed = writer.Failure()) {
        return {path, "",
                "the journal could not be written on (" + platform_.files.ErrorText(failed) +
                    "), so no registry value was changed after that"};
    }
    return {path, "", ""};
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
    const engine::JournalTrust trust =
        engine::CheckJournalToRead(platform_.security, run.path, false);
    if (trust.refused) return {0, {}, {}, trust.reason};
    uint32_t error = 0;
    const std::optional<std::string> bytes = platform_.files.Read(run.path, error);
    if (!bytes)
        return {0, {}, {}, run.path + " cannot be read: " + platform_.files.ErrorText(error)};
    const engine::Journal read = engine::ReadJournal(*bytes);
    if (!read.isJournal) return {0, {}, {}, run.path + " is no journal of a run"};
    if (engine::TouchesProfile(read.records)) {
        return {0, {}, {}, run.path + " changed the default profile: undo it with OrvikCli undo"};
    }
    UndoOutcome outcome;
    for (const engine::UndoEntry& entry :
         engine::UndoRecords(read.records, platform_.machine.registry)) {
        for (const engine::UndoAction& action : entry.actions) {
            if (action.record->kind != engine::JournalRecord::Kind::Value) continue;
            if (action.outcome == "restored" || action.outcome == "removed") ++outcome.putBack;
            if (action.outcome == "conflict")
                outcome.conflicts.push_back(ValueName(*action.record));
            if (action.outcome == "failed") {
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
