#include "cli/OrvikCli.h"

#include <algorithm>
#include <memory>
#include <set>

#include "OrvikVersion.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/XmlReader.h"
#include "cli/PlanAdapters.h"
#include "cli/Report.h"
#include "cli/Sha256.h"
#include "engine/runner.h"
#include "platform/Console.h"
#include "platform/SystemInfo.h"
#include "platform/XmlDocument.h"

namespace cli {
namespace {

// Gathers the runners' records into the report, and tells of each entry on standard error as
// the run reaches it.
class Collector final : public RunObserver {
public:
    Collector(Report& report, size_t total, Console* progress, PlanLauncher* launcher)
        : report_(report), total_(total), progress_(progress), launcher_(launcher) {}

    void EntryStarts(const OptimizationItem& entry) override {
        report_.entries.push_back({&entry, {}});
        if (progress_) {
            progress_->Err(std::to_string(report_.entries.size()) + " of " +
                           std::to_string(total_) + ": " + entry.Number + " " + entry.Name +
                           "\n");
        }
    }
    void Reported(const ActionRecord& record) override {
        ActionReport action{record, OutcomeWord(record, report_.command), std::nullopt};
        if (launcher_ && record.kind == ActionRecord::Kind::Command) {
            action.program = launcher_->lastProgram;
        }
        report_.entries.back().actions.push_back(std::move(action));
    }
    void EntryEnds(const OptimizationItem&) override {}

private:
    Report& report_;
    size_t total_;
    Console* progress_;
    PlanLauncher* launcher_;
};

WindowsInfo IdentifyWindows(const EnvPlatform& env) {
    GlobalUtils utils(env);
    WindowsInfo windows;
    windows.code = utils.GetOSVersion();
    windows.name = codes::GetOSString(windows.code);
    windows.build = env.system.QueryVersion().build;
    windows.wow64 = utils.Is64bit();
    return windows;
}

// The enabled entries that the options take, in catalogue order. Numbers that no entry has are
// wrong usage; entries that are named but not enabled stay out, with a warning.
OptimizationList Select(const OptimizationList& catalogue, const Options& options,
                        Report& report) {
    std::set<std::string> unmatched(options.items.begin(), options.items.end());
    OptimizationList selected;
    for (const OptimizationItemPtr& entry : catalogue) {
        if (options.thisWindows && !codes::IsOffered(entry->osVersions, report.windows.code)) {
            continue;
        }
        if (!options.items.empty()) {
            if (std::find(options.items.begin(), options.items.end(), entry->Number) ==
                options.items.end()) {
                continue;
            }
            unmatched.erase(entry->Number);
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
    if (!unmatched.empty()) {
        throw UsageError("no entry" + std::string(options.thisWindows ? " offered here" : "") +
                         " has the Number " + *unmatched.begin());
    }
    return selected;
}

void Run(const OptimizationList& selected, const Options& options, CliPlatform& platform,
         Report& report) {
    NoMessageBoxes noBoxes;
    Console* progress = options.json ? nullptr : &platform.console;
    const EnginePlatform& machine = platform.machine;
    if (options.command == Command::Apply) {
        const EnginePlatform apply{machine.env, machine.registry, machine.processes, machine.wmi,
                                   noBoxes};
        Collector collector(report, selected.size(), progress, nullptr);
        runner(apply, &collector).RunOptimizations(selected);
        return;
    }
    PlanRegistry registry(machine.registry);
    PlanLauncher launcher(platform.programs, machine.processes);
    PlanFiles log(machine.env.files);
    const EnginePlatform plan{{machine.env.system, machine.env.clock, log}, registry, launcher,
                              machine.wmi, noBoxes};
    Collector collector(report, selected.size(), progress, &launcher);
    runner(plan, &collector).RunOptimizations(selected);
}

int Usage(Console& console, const UsageError& wrong) {
    console.Err(std::string("OrvikCli: ") + wrong.what() + "\n\n" + kUsage);
    return exit_code::kUsage;
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
        console.Out(kUsage);
        return exit_code::kDone;
    }
    if (options.command == Command::Version) {
        console.Out(std::string("OrvikCli ") + ORVIK_VERSION + "\n");
        return exit_code::kDone;
    }

    GlobalUtils utils(platform.machine.env);
    Report report;
    report.command = options.command;
    report.cataloguePath =
        options.catalogue.value_or(catalogue::DefaultPath(utils.ExecutableFolder()));
    if (const auto bytes = platform.xml.ReadFileBytes(report.cataloguePath)) {
        report.sha256 = Sha256Hex(*bytes);
    }
    report.windows = IdentifyWindows(platform.machine.env);

    CatalogueCheck check;
    const OptimizationList catalogue =
        XmlReader(platform.xml, utils.ExecutableFolder(), &check).ReadXML(report.cataloguePath);
    check.CheckRecords(catalogue);
    report.problems = check.Problems();
    report.readable = check.Readable();

    if (options.command == Command::Validate) {
        for (const OptimizationItemPtr& entry : catalogue) {
            report.entries.push_back({entry.get(), {}});
        }
    } else if (report.readable) {
        report.refused = options.command == Command::Apply && check.HasErrors() && !options.force;
        try {
            const OptimizationList selected = Select(catalogue, options, report);
            if (!report.refused) Run(selected, options, platform, report);
        } catch (const UsageError& wrong) {
            return Usage(console, wrong);
        }
    }
    report.exitCode = ExitCodeOf(report);
    console.Out(options.json ? ReportJson(report) : ReportText(report));
    return report.exitCode;
}

}  // namespace cli
