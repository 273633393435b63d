#include "cli/Protection.h"

#include <algorithm>

#include "catalogue/Codes.h"
#include "engine/checks/AccountChecks.h"
#include "env/FileTrust.h"
#include "platform/SystemInfo.h"

namespace cli {
namespace {

using enum Problem::Severity;
using State = trust::Verdict::State;

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of('\\');
    return separator == std::string::npos ? "" : path.substr(0, separator);
}

}  // namespace

bool CheckProtection(FileSecurity& security, const Options& options, Report& report,
                     std::vector<Problem>& problems) {
    const trust::CatalogueTrust trust = trust::CheckCatalogue(security, report.cataloguePath);
    const bool apply = options.command == Command::Apply;
    const bool overridden = apply && options.trustCatalogue;
    report.catalogueTrusted = overridden;
    const State state = trust.verdict.state;
    if (trust.Refused()) {
        problems.push_back(
            {overridden ? Warning : Error, "catalogue-not-protected", 0, 0,
             trust.verdict.reason + (overridden ? ": trusted for this run (--trust-catalogue)"
                                     : apply    ? ": nothing is applied (--trust-catalogue applies "
                                                  "it for this run)"
                                                : ": apply refuses it")});
        if (apply && !overridden) report.stopped = true;
    } else if (state == State::NotProtected || state == State::Unknown) {
        problems.push_back({Warning, "catalogue-not-protected", 0, 0,
                            trust.verdict.reason + ": a run as administrator refuses it"});
    }
    for (const std::string& warning : trust.verdict.warnings) {
        problems.push_back({Warning, "folder-not-protected", 0, 0,
                            warning + ": whoever may do so can put another catalogue here"});
    }
    if (!trust.MayRead() && state == State::Missing && !overridden) {
        report.readable = false;  // the reader's check says why
        return false;
    }
    return !(apply && trust.Refused() && !overridden);
}

void CheckAccount(const OptimizationList& entries, const Options& options, SystemInfo& system,
                  Report& report) {
    const std::optional<int32_t> offeredOn =
        options.allVersions ? std::nullopt : std::optional(report.windows.code);
    const bool apply = options.command == Command::Apply;
    if (auto problem = engine::ElevationProblem(entries, offeredOn, system.IsElevated(),
                                                apply ? Error : Warning)) {
        report.problems.push_back(std::move(*problem));
        if (apply) report.stopped = true;
    }
    if (options.command == Command::Validate) return;  // names no user
    if (auto problem =
            engine::SystemUserProblem(entries, offeredOn, system.RunsAsSystem(), options.users)) {
        report.problems.push_back(std::move(*problem));
    }
}

void WarnSearchedPrograms(Report& report, const std::vector<std::string>& searchFolders) {
    // The system folder, its 16-bit sibling and the Windows folder, in the search's order.
    std::vector<std::string> system;
    for (size_t i = 2; i < 5 && i < searchFolders.size(); ++i) {
        std::string folder = searchFolders[i];
        while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
        system.push_back(codes::UpperAscii(folder));
    }
    for (const EntryReport& entry : report.entries) {
        for (const ActionReport& action : entry.actions) {
            const cmdItem* command = action.record.command;
            if (!command || !action.program || engine::NamesFullPath(command->Command)) continue;
            const std::string folder = codes::UpperAscii(FolderOf(*action.program));
            if (std::find(system.begin(), system.end(), folder) != system.end()) continue;
            report.problems.push_back(
                {Warning, "program-outside-system-folders", command->Position.line,
                 command->Position.column,
                 "the search finds the program at " + *action.program +
                     ", outside the system folders: whoever may write there decides what the "
                     "run starts"});
        }
    }
}

}  // namespace cli
