#include "cli/OrvikCli.h"

#include "OrvikVersion.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "cli/Checked.h"
#include "cli/Fleet.h"
#include "cli/Protection.h"
#include "cli/Report.h"
#include "cli/UndoReport.h"
#include "engine/journal/Profile.h"
#include "engine/session/Session.h"
#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/ProgramSearch.h"
#include "platform/ReportRenderer.h"
#include "platform/SystemInfo.h"

namespace cli {
namespace {

using engine::Session;

// Gathers the session's records into the report, and tells of each entry on standard error as
// the run reaches it.
class Collector final : public engine::SessionObserver {
public:
    Collector(Report& report, Console* progress) : report_(report), progress_(progress) {}

    void RunStarts(size_t running, bool journaled) override {
        total_ = running;
        if (report_.command == Command::Apply && !journaled && progress_) {
            progress_->Err(
                "OrvikCli: no --journal given: what this run changes cannot be undone\n");
        }
    }
    void EntryStarts(const OptimizationItem& entry) override {
        report_.entries.push_back({&entry, {}});
        ++started_;
        if (progress_) {
            progress_->Err(std::to_string(started_) + " of " + std::to_string(total_) + ": " +
                           entry.Number + " " + entry.Name + "\n");
        }
    }
    void EntryLeftOut(const OptimizationItem& entry) override {
        report_.entries.push_back({&entry, {}, true});
    }
    void Reported(const ActionRecord& record) override {
        ActionReport action{record, engine::OutcomeWord(record, ModeOf(report_.command)),
                            record.program, std::nullopt};
        if (const auto note = report_.policyNotes.find(record.registry);
            record.registry && note != report_.policyNotes.end()) {
            action.policy = note->second;
        }
        report_.entries.back().actions.push_back(std::move(action));
    }
    void EntryEnds(const OptimizationItem&) override {}

private:
    Report& report_;
    Console* progress_;
    size_t total_ = 0;  // the entries that run
    size_t started_ = 0;
};

// The exit code, unless standard output refused what the command wrote: a script that reads it
// must not take a lost report for one that says all went well, nor for a command that did
// nothing (apply applied all the same).
int Written(CliPlatform& platform, uint32_t error, int exitCode) {
    if (error == 0) return exitCode;
    platform.console.Err(
        "OrvikCli: standard output cannot be written: " + platform.files.ErrorText(error) +
        " (the report's exit code was " + std::to_string(exitCode) + ")\n");
    return exit_code::kNotReported;
}

WindowsInfo IdentifyWindows(const EnvPlatform& env) {
    GlobalUtils utils(env);
    WindowsInfo windows;
    windows.code = utils.GetOSVersion();
    windows.name = codes::GetOSString(windows.code);
    windows.build = env.system.QueryVersion().build;
    windows.wow64 = utils.Is64bit();
    return windows;
}

// plan or apply of the selected entries, as the options ask.
void Run(const OptimizationList& selected, const Options& options, Session& session,
         CliPlatform& platform, Report& report) {
    engine::RunRequest request;
    request.mode = ModeOf(options.command);
    request.users = options.users;
    request.hiveFile = report.hiveFile;
    request.trustJournal = options.trustJournal;
    request.lockWait = std::chrono::seconds(options.lockWait.value_or(kLockWait));
    if (options.command == Command::Apply) {
        if (options.journal) {
            request.journal = [path = *options.journal](const std::string&, int) { return path; };
        }
        if (!options.noWait) {
            request.commandLimit =
                std::chrono::seconds(options.commandTimeout.value_or(kCommandTimeout));
        }
    }
    if (!options.allVersions) request.offeredOn = report.windows.code;
    Collector collector(report, options.json || options.quiet ? nullptr : &platform.console);
    const engine::RunResult result = session.Run(selected, request, &collector);
    report.problems.insert(report.problems.end(), result.problems.begin(), result.problems.end());
    report.stopped = result.stopped;
    report.busy = result.busy;
    report.cleanupFailed = result.cleanupFailed;
    report.journalFailed = result.journalFailure != 0;
    if (result.lostLogLines != 0) {
        LogNotWritten(result.logPath, result.lostLogLines, platform.console, report);
    }
}

int Undo(const Options& options, Session& session, CliPlatform& platform) {
    UndoReport report{
        session.Undo({*options.journal, options.defaultHive, options.dryRun, options.trustJournal,
                      std::chrono::seconds(options.lockWait.value_or(kLockWait))})};
    report.exitCode = ExitCodeOf(report);
    return Written(platform,
                   platform.console.Out(options.json ? UndoJson(report) : UndoText(report)),
                   report.exitCode);
}

int MakeReport(const Options& options, CliPlatform& platform, const std::string& folder) {
    const RenderedReport page =
        platform.reports.RenderReport(options.catalogue.value_or(catalogue::DefaultPath(folder)),
                                      catalogue::InFolder(folder, catalogue::kStylesheetName));
    if (!page.Made()) {
        platform.console.Err(page.failedFile + ": " + page.reason + "\n");
        return exit_code::kCatalogue;
    }
    if (!options.out) {
        return Written(platform, platform.console.OutBytes(page.html), exit_code::kDone);
    }
    uint32_t error = 0;
    std::unique_ptr<OutputFile> file = platform.files.Create(*options.out, true, error);
    if (file) error = file->Write(page.html);
    if (file && error != 0) {
        file.reset();  // closed, so that it can go: no page is better than part of one
        platform.files.Remove(*options.out);
    }
    if (error != 0) {
        platform.console.Err(*options.out + ": " + platform.files.ErrorText(error) + "\n");
        return exit_code::kCatalogue;
    }
    return exit_code::kDone;
}

// What the report says before the catalogue is read.
Report StartReport(const Options& options, CliPlatform& platform, const std::string& folder) {
    Report report;
    report.command = options.command;
    report.users = options.users;
    if (options.users != Users::Current) {
        report.hiveFile =
            options.defaultHive ? *options.defaultHive : engine::DefaultHiveFile(platform.hives);
    }
    if (options.command == Command::Apply) report.journal = options.journal;
    report.cataloguePath = options.catalogue.value_or(catalogue::DefaultPath(folder));
    report.windows = IdentifyWindows(platform.machine.env);
    return report;
}

int Usage(Console& console, const UsageError& wrong) {
    console.Err(UsageText(wrong));
    return exit_code::kUsage;
}

// The commands that neither check nor run the catalogue's entries: their exit code.
std::optional<int> WithoutRun(const Options& options, CliPlatform& platform, Session& session,
                              GlobalUtils& utils) {
    switch (options.command) {
        case Command::Undo: return Undo(options, session, platform);
        case Command::Export: return Export(options, platform);
        case Command::Import: return Import(options, platform);
        case Command::Report: return MakeReport(options, platform, utils.ExecutableFolder());
        default: return std::nullopt;
    }
}

}  // namespace

int Main(const std::vector<std::string>& arguments, CliPlatform& platform) {
    Console& console = platform.console;
    Options options;
    try {
        options = ParseOptions(arguments);
    } catch (const UsageError& wrong) {
        return Usage(console, wrong);
    }
    if (options.command == Command::Help) {
        return Written(platform, console.Out(HelpText(options.helpFor)), exit_code::kDone);
    }
    if (options.command == Command::Version) {
        return Written(platform, console.Out(std::string("OrvikCli ") + ORVIK_VERSION + "\n"),
                       exit_code::kDone);
    }

    GlobalUtils utils(platform.machine.env);
    Session session({platform.machine, platform.xml, platform.programs, platform.files,
                     &platform.hives, &platform.security, &platform.lock});
    if (const std::optional<int> done = WithoutRun(options, platform, session, utils)) {
        return *done;
    }
    Report report = StartReport(options, platform, utils.ExecutableFolder());
    const Checked checked =
        ReadChecked(options, platform, session, utils.ExecutableFolder(), report);
    report.strict = options.strict;
    CheckPolicies(checked.catalogue, options, platform, report);
    if (options.command == Command::Validate) {
        for (const OptimizationItemPtr& entry : checked.catalogue) {
            report.entries.push_back({entry.get(), {}});
        }
        CheckAccount(checked.catalogue, options, platform.machine.env.system, report);
    } else if (report.readable && checked.read) {
        const engine::Selected selected = engine::Select(
            checked.catalogue,
            {options.items, options.categories, options.impacts, options.excluded, options.users});
        if (!selected.wrongUsage.empty()) {
            return Usage(console, UsageError(selected.wrongUsage, options.command));
        }
        report.problems.insert(report.problems.end(), selected.warnings.begin(),
                               selected.warnings.end());
        CheckAccount(selected.entries, options, platform.machine.env.system, report);
        report.refused = options.command == Command::Apply && !options.force && HasErrors(report);
        if (!report.refused && !report.stopped) {
            Run(selected.entries, options, session, platform, report);
        }
        if (options.command == Command::Plan) {
            WarnSearchedPrograms(report, platform.programs.SearchFolders());
        }
    }
    report.detailed = options.detailedExitCode;
    report.exitCode = ExitCodeOf(report);
    const int exitCode =
        Written(platform, console.Out(options.json ? ReportJson(report) : ReportText(report)),
                report.exitCode);
    // A detection script knows three answers; a lost report is none of "in place" or "pending".
    return report.detailed && exitCode == exit_code::kNotReported ? exit_code::kActionFailed
                                                                  : exitCode;
}

}  // namespace cli
