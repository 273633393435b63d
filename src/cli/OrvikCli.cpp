#include "cli/OrvikCli.h"

#include <algorithm>
#include <memory>

#include "OrvikVersion.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "cli/Fleet.h"
#include "cli/Protection.h"
#include "cli/Report.h"
#include "cli/UndoReport.h"
#include "engine/checks/PolicyChecks.h"
#include "engine/checks/Sha256.h"
#include "engine/journal/Journal.h"
#include "engine/journal/JournalTrust.h"
#include "engine/journal/Profile.h"
#include "engine/journal/Undo.h"
#include "engine/plan/PlanAdapters.h"
#include "engine/runner.h"
#include "env/WatchedLog.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/PolicyFolders.h"
#include "platform/ReportRenderer.h"
#include "platform/SystemInfo.h"
#include "platform/UserHives.h"
#include "platform/XmlDocument.h"

namespace cli {
namespace {

using engine::CatalogueCheck;
using engine::DefaultHiveFile;
using engine::JournalHeader;
using engine::JournalWriter;
using engine::LoadedProfile;
using engine::NoMessageBoxes;
using engine::PlanFiles;
using engine::PlanLauncher;
using engine::PlanRegistry;
using engine::ReadJournal;
using engine::Sha256Hex;
using engine::TouchesProfile;
using engine::UndoRecords;

// Gathers the runners' records into the report and the journal, and tells of each entry on
// standard error as the run reaches it.
class Collector final : public RunObserver {
public:
    Collector(Report& report, size_t total, Console* progress, PlanLauncher* launcher,
              JournalWriter* journal)
        : report_(report), total_(total), progress_(progress), launcher_(launcher),
          journal_(journal) {}

    void EntryStarts(const OptimizationItem& entry) override {
        if (journal_) journal_->Entry(entry);
        report_.entries.push_back({&entry, {}});
        ++started_;
        if (progress_) {
            progress_->Err(std::to_string(started_) + " of " + std::to_string(total_) + ": " +
                           entry.Number + " " + entry.Name + "\n");
        }
    }
    // Not in the journal: nothing of it was done.
    void EntryLeftOut(const OptimizationItem& entry) override {
        report_.entries.push_back({&entry, {}, true});
    }
    void Reported(const ActionRecord& record) override {
        ActionReport action{record, OutcomeWord(record, report_.command), std::nullopt,
                            std::nullopt};
        if (const auto note = report_.policyNotes.find(record.registry);
            record.registry && note != report_.policyNotes.end()) {
            action.policy = note->second;
        }
        if (launcher_ && record.kind == ActionRecord::Kind::Command) {
            action.program = launcher_->lastProgram;
        }
        if (journal_ && !report_.entries.back().leftOut) journal_->Action(record, action.outcome);
        report_.entries.back().actions.push_back(std::move(action));
    }
    void EntryEnds(const OptimizationItem&) override {
        if (journal_) journal_->Flush();
    }

private:
    Report& report_;
    size_t total_;  // the entries that run
    size_t started_ = 0;
    Console* progress_;
    PlanLauncher* launcher_;
    JournalWriter* journal_;
};

// Once the journal has failed, no command starts either: the journal could not tell of it.
class JournaledLauncher final : public ProcessLauncher {
public:
    JournaledLauncher(ProcessLauncher& inner, const JournalWriter& journal)
        : inner_(inner), journal_(journal) {}

    uint32_t Start(const std::string& commandLine, WindowStyle style, StartScope* scope) override {
        if (const uint32_t failure = journal_.Failure()) return failure;
        return inner_.Start(commandLine, style, scope);
    }
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style, StartScope* scope,
                          std::chrono::milliseconds limit, Ending& ending) override {
        if (const uint32_t failure = journal_.Failure()) return failure;
        return inner_.StartAndWait(commandLine, style, scope, limit, ending);
    }
    std::string ErrorText(uint32_t code) override { return inner_.ErrorText(code); }

private:
    ProcessLauncher& inner_;
    const JournalWriter& journal_;
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

Problem Failure(const char* code, std::string message) {
    return {Problem::Severity::Error, code, 0, 0, std::move(message)};
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

bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Each kind of selection narrows the entries: any of its values will do.
bool Chosen(const OptimizationItem& entry, const Options& options) {
    return (options.items.empty() || Holds(options.items, entry.Number)) &&
           (options.categories.empty() ||
            Holds(options.categories, codes::UpperAscii(entry.Category))) &&
           (options.impacts.empty() || Holds(options.impacts, codes::UpperAscii(entry.Impact))) &&
           !Holds(options.excluded, entry.Number);
}

// A value of --items, --exclude, --category or --impact that no entry has is a typing error.
void CheckNamed(const OptimizationList& catalogue, const Options& options) {
    const auto check = [&](const std::vector<std::string>& values, const char* what, auto field) {
        for (const std::string& value : values) {
            if (std::none_of(
                    catalogue.begin(), catalogue.end(),
                    [&](const OptimizationItemPtr& entry) { return field(*entry) == value; })) {
                throw UsageError("no entry has the " + std::string(what) + " " + value);
            }
        }
    };
    check(options.items, "Number", [](const OptimizationItem& e) { return e.Number; });
    check(options.excluded, "Number", [](const OptimizationItem& e) { return e.Number; });
    check(options.categories, "category",
          [](const OptimizationItem& e) { return codes::UpperAscii(e.Category); });
    check(options.impacts, "impact",
          [](const OptimizationItem& e) { return codes::UpperAscii(e.Impact); });
}

// The enabled entries that the options take, in catalogue order, also those for other Windows
// versions, which the run leaves out. Values that no entry has are wrong usage; entries that
// are named by --items but not enabled stay out, with a warning.
OptimizationList Select(const OptimizationList& catalogue, const Options& options, Report& report) {
    CheckNamed(catalogue, options);
    OptimizationList selected;
    for (const OptimizationItemPtr& entry : catalogue) {
        if (!Chosen(*entry, options)) continue;
        if (!options.items.empty()) {
            if (!entry->Enabled) {
                report.problems.push_back(
                    {Problem::Severity::Warning, "item-not-enabled", PlaceOf(*entry).line,
                     PlaceOf(*entry).column,
                     "entry " + entry->Number +
                         " is named by --items but not enabled in the catalogue: it is left "
                         "out"});
            }
        }
        if (entry->Enabled) selected.push_back(entry);
    }
    return selected;
}

// HKEY_CURRENT_USER\Software\Classes is the user's classes hive (UsrClass.dat) once the user
// is logged on; new users get their own, not the default profile's. The value is written into
// the default profile's hive all the same, where no new user will read it: said before the run.
void WarnClassesInProfile(const OptimizationList& selected, const Options& options,
                          Report& report) {
    if (options.users == Users::Current) return;
    const std::string classes = "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES";
    for (const OptimizationItemPtr& entry : selected) {
        for (const RegistryItem& value : entry->regItems) {
            const std::string key = codes::UpperAscii(value.Key);
            if (key.rfind(classes, 0) != 0 ||
                (key.size() > classes.size() && key[classes.size()] != '\\')) {
                continue;
            }
            report.problems.push_back(
                {Problem::Severity::Warning, "classes-not-in-profile", PlaceOf(value).line,
                 PlaceOf(value).column,
                 value.Key + " is in each user's own classes hive (UsrClass.dat), not in the "
                             "default profile's: new users do not get this value"});
        }
    }
}

// How many of the entries run: those offered on offeredOn, or all.
size_t Running(const OptimizationList& selected, std::optional<int32_t> offeredOn) {
    return static_cast<size_t>(
        std::count_if(selected.begin(), selected.end(), [&](const OptimizationItemPtr& entry) {
            return !offeredOn || codes::IsOffered(entry->osVersions, *offeredOn);
        }));
}

// A new journal with its head written, or why not. A file that could not take the head goes
// again, so that the same command can be run once more.
std::optional<Problem> StartJournal(const Options& options, Report& report, CliPlatform& platform,
                                    std::unique_ptr<OutputFile>& file,
                                    std::optional<JournalWriter>& journal) {
    const std::string& path = *options.journal;
    ConsoleFiles& files = platform.files;
    const EnvPlatform& env = platform.machine.env;
    uint32_t error = 0;
    file = files.Create(path, false, error);
    const engine::JournalTrust kept =
        file ? engine::ProtectNewJournal(platform.security, path, options.trustJournal)
             : engine::JournalTrust{};
    if (kept.refused) {
        file.reset();
        files.Remove(path);
        return kept.problems.front();
    }
    report.problems.insert(report.problems.end(), kept.problems.begin(), kept.problems.end());
    if (file) {
        journal.emplace(*file, JournalHeader{ORVIK_VERSION, report.cataloguePath, report.sha256,
                                             env.system.ComputerName(), env.clock.UtcTimestamp(),
                                             options.users, report.hiveFile});
        error = journal->Failure();
    }
    if (error == 0) return std::nullopt;
    if (file) {
        journal.reset();
        file.reset();  // closed, so that it can be deleted
        files.Remove(path);
    }
    return Failure("journal-not-made", path + " could not be made: " + files.ErrorText(error));
}

// How long apply waits for each command line; none: it does not.
std::optional<std::chrono::milliseconds> CommandLimit(const Options& options) {
    if (options.noWait) return std::nullopt;
    return std::chrono::seconds(options.commandTimeout.value_or(kCommandTimeout));
}

// The run of plan or apply, over the registry that the options make of the machine's: the
// default profile's hive mapped in, and apply's journal right above the machine.
// Where a run's writes go: the registry (the journaling one, the hive's), each user's for
// --user both, and the journal, if any.
struct Targets {
    Registry& registry;
    const std::vector<UserTarget>& users;
    JournalWriter* journal;
};

// apply through the machine's launcher (journaled), plan through the plan adapters.
void RunEngine(const OptimizationList& selected, const Options& options, CliPlatform& platform,
               const Targets& to, Report& report) {
    NoMessageBoxes noBoxes;
    Console* progress = options.json || options.quiet ? nullptr : &platform.console;
    const EnginePlatform& machine = platform.machine;
    const std::optional<int32_t> offeredOn =
        options.allVersions ? std::nullopt : std::optional(report.windows.code);
    const size_t runs = Running(selected, offeredOn);
    if (options.command == Command::Apply) {
        std::optional<JournaledLauncher> journaledLauncher;
        ProcessLauncher& processes = to.journal
                                         ? journaledLauncher.emplace(machine.processes, *to.journal)
                                         : machine.processes;
        WatchedLog log(machine.env.files);
        const EnginePlatform apply{{machine.env.system, machine.env.clock, log},
                                   to.registry,
                                   processes,
                                   machine.wmi,
                                   noBoxes,
                                   to.users};
        Collector collector(report, runs, progress, nullptr, to.journal);
        runner(apply, &collector, CommandLimit(options)).RunOptimizations(selected, offeredOn);
        if (log.lostLines != 0) LogNotWritten(log, platform.console, report);
    } else {
        PlanLauncher launcher(platform.programs, machine.processes);
        PlanFiles log(machine.env.files);
        const EnvPlatform env{machine.env.system, machine.env.clock, log};
        const EnginePlatform plan{env, to.registry, launcher, machine.wmi, noBoxes, to.users};
        Collector collector(report, runs, progress, &launcher, nullptr);
        runner(plan, &collector).RunOptimizations(selected, offeredOn);
    }
}

void EndJournal(JournalWriter& journal, const Options& options, CliPlatform& platform,
                Report& report) {
    journal.End();
    if (const uint32_t error = journal.Failure()) {
        report.problems.push_back(
            Failure("journal-failed", *options.journal + " could not be written (" +
                                          platform.files.ErrorText(error) +
                                          "): from the value that failed on, nothing was written"));
        report.journalFailed = true;
    }
}

void Run(const OptimizationList& selected, const Options& options, CliPlatform& platform,
         Report& report) {
    const EnginePlatform& machine = platform.machine;
    const auto stop = [&](Problem problem) {
        report.problems.push_back(std::move(problem));
        report.stopped = true;
    };

    if (options.journal && options.command == Command::Apply) {
        const engine::JournalTrust place =
            engine::CheckJournalToWrite(platform.security, *options.journal, options.trustJournal);
        report.problems.insert(report.problems.end(), place.problems.begin(), place.problems.end());
        if (place.refused) return (void)(report.stopped = true);
    }
    std::optional<LoadedProfile> profile;
    // Unloaded here rather than when profile goes, so that a hive that stays loaded is reported.
    const auto unload = [&] {
        if (!profile) return;
        if (std::optional<Problem> stays = profile->Unload()) {
            report.problems.push_back(*stays);
            report.cleanupFailed = true;
        }
    };
    if (options.users != Users::Current) {
        profile.emplace(platform.hives, machine.registry);
        if (std::optional<Problem> failed = profile->Load(report.hiveFile)) return stop(*failed);
    }
    Registry* registry = &machine.registry;
    std::unique_ptr<OutputFile> file;
    std::optional<JournalWriter> journal;
    std::optional<JournalingRegistry> journaled;
    if (options.journal && options.command == Command::Apply) {
        if (auto failed = StartJournal(options, report, platform, file, journal)) {
            stop(*failed);
            return unload();
        }
        registry = &journaled.emplace(machine.registry, *journal);
    }
    // A plan keeps its writes below the hive's mapping, so that each user's are its own.
    std::optional<PlanRegistry> planned;
    if (options.command == Command::Plan) registry = &planned.emplace(*registry);
    std::vector<UserTarget> users;
    if (profile) {
        Registry& hive = profile->Over(*registry, Users::Default);
        if (options.users == Users::Both) users = {{"current", registry}, {"default", &hive}};
        if (options.users == Users::Default) registry = &hive;
    }

    if (options.command == Command::Apply && !journal && !options.json && !options.quiet) {
        platform.console.Err(
            "OrvikCli: no --journal given: what this run changes cannot be undone\n");
    }
    const Targets targets{*registry, users, journal ? &*journal : nullptr};
    RunEngine(selected, options, platform, targets, report);
    unload();
    if (journal) EndJournal(*journal, options, platform, report);
}

int Undo(const Options& options, CliPlatform& platform) {
    UndoReport report;
    report.path = *options.journal;
    const engine::JournalTrust trust =
        engine::CheckJournalToRead(platform.security, report.path, options.trustJournal);
    report.problems = trust.problems;
    uint32_t error = 0;
    // Refused: not read at all, so that nothing of it is obeyed.
    const std::optional<std::string> bytes =
        trust.refused ? std::nullopt : platform.files.Read(report.path, error);
    if (bytes) {
        report.journal = ReadJournal(*bytes);
        if (!report.journal.isJournal) {
            report.problems.push_back(
                Failure("no-journal", "the file is no journal of OrvikCli apply: nothing done"));
        }
    } else if (!trust.refused) {
        report.problems.push_back(
            Failure("unreadable", "the file cannot be read: " + platform.files.ErrorText(error)));
    }
    const Journal& journal = report.journal;
    report.problems.insert(report.problems.end(), journal.problems.begin(), journal.problems.end());
    const std::string machineName = platform.machine.env.system.ComputerName();
    if (journal.isJournal && journal.header.machine != machineName) {
        report.problems.push_back(
            {Problem::Severity::Warning, "other-machine", 0, 0,
             "the run was on " + journal.header.machine + ", this is " + machineName});
    }

    Registry& machine = platform.machine.registry;
    std::optional<LoadedProfile> profile;
    std::optional<Problem> failed;
    if (TouchesProfile(journal.records)) {
        profile.emplace(platform.hives, machine);
        failed = profile->Load(options.defaultHive.value_or(journal.header.hiveFile));
    }
    if (failed) {
        report.problems.push_back(*failed);
    } else if (journal.isJournal) {
        report.ran = true;
        // A dry run reads the machine and keeps its own writes, as a plan does.
        std::optional<PlanRegistry> planned;
        Registry& target = options.dryRun ? planned.emplace(machine) : machine;
        report.dryRun = options.dryRun;
        report.entries =
            UndoRecords(journal.records, profile ? profile->Over(target, Users::Current) : target);
        engine::NameFailures(report.entries, platform.machine.env.system);
        if (profile) failed = profile->Unload();
        if (failed) report.problems.push_back(*failed);
        report.cleanupFailed = failed.has_value();
    }
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

int Usage(Console& console, const UsageError& wrong) {
    console.Err(UsageText(wrong));
    return exit_code::kUsage;
}

// The catalogue as read, when its protection lets it be read, with every problem found in it.
struct Checked {
    OptimizationList catalogue;
    bool read = false;
    bool errors = false;  // of the catalogue itself, those --force overrides
};

Checked ReadChecked(const Options& options, CliPlatform& platform, const std::string& folder,
                    Report& report) {
    std::vector<Problem> protection;
    Checked checked;
    checked.read = CheckProtection(platform.security, options, report, protection);
    // Read once, after the protection check: the hash is of the very bytes parsed.
    std::string why;
    const std::optional<std::string> bytes = platform.xml.ReadFileBytes(report.cataloguePath, why);
    if (bytes) report.sha256 = Sha256Hex(*bytes);
    CatalogueCheck check;
    if (!checked.read && !report.readable) {
        // Missing when its protection was judged: not parsed, whatever is there now.
        check.Notice({ReadNotice::Kind::Unreadable, {}, {}, bytes ? "it did not exist" : why});
    }
    if (checked.read) {
        checked.catalogue = XmlReader(platform.xml, folder, &check).ReadXMLBytes(bytes, why);
        check.CheckRecords(checked.catalogue);
        report.readable = check.Readable();
        checked.errors = check.HasErrors();
    }
    report.problems = check.Problems();
    report.problems.insert(report.problems.begin(), protection.begin(), protection.end());
    return checked;
}

void CheckPolicies(const OptimizationList& catalogue, const Options& options, CliPlatform& platform,
                   Report& report) {
    if (options.noPolicyDefinitions) return;
    engine::PolicyChecked checked = engine::CheckPolicies(
        catalogue, options.policyDefinitions.value_or(platform.policies.DefaultFolder()),
        platform.policies, platform.xml);
    report.policyDefinitions = checked.definitions;
    report.policyNotes = std::move(checked.notes);
    report.problems.insert(report.problems.end(), checked.problems.begin(), checked.problems.end());
    engine::SortByPlace(report.problems);
}

// The commands that neither check nor run the catalogue's entries: their exit code.
std::optional<int> WithoutRun(const Options& options, CliPlatform& platform, GlobalUtils& utils) {
    switch (options.command) {
        case Command::Undo: return Undo(options, platform);
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
    if (const std::optional<int> done = WithoutRun(options, platform, utils)) return *done;
    Report report;
    report.command = options.command;
    report.users = options.users;
    if (options.users != Users::Current) {
        report.hiveFile =
            options.defaultHive ? *options.defaultHive : DefaultHiveFile(platform.hives);
    }
    if (options.command == Command::Apply) report.journal = options.journal;
    report.cataloguePath =
        options.catalogue.value_or(catalogue::DefaultPath(utils.ExecutableFolder()));
    report.windows = IdentifyWindows(platform.machine.env);

    const Checked checked = ReadChecked(options, platform, utils.ExecutableFolder(), report);
    report.strict = options.strict;
    CheckPolicies(checked.catalogue, options, platform, report);
    if (options.command == Command::Validate) {
        for (const OptimizationItemPtr& entry : checked.catalogue) {
            report.entries.push_back({entry.get(), {}});
        }
        CheckAccount(checked.catalogue, options, platform.machine.env.system, report);
    } else if (report.readable && checked.read) {
        try {
            const OptimizationList selected = Select(checked.catalogue, options, report);
            WarnClassesInProfile(selected, options, report);
            CheckAccount(selected, options, platform.machine.env.system, report);
            report.refused =
                options.command == Command::Apply && !options.force && HasErrors(report);
            if (!report.refused && !report.stopped) Run(selected, options, platform, report);
            if (options.command == Command::Plan) {
                WarnSearchedPrograms(report, platform.programs.SearchFolders());
            }
        } catch (const UsageError& wrong) {
            return Usage(console, UsageError(wrong.what(), options.command));
        }
    }
    report.exitCode = ExitCodeOf(report);
    return Written(platform, console.Out(options.json ? ReportJson(report) : ReportText(report)),
                   report.exitCode);
}

}  // namespace cli
