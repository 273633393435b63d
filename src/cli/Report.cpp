#include "cli/Report.h"

#include <algorithm>
#include <map>
#include <set>

#include "catalogue/Codes.h"
#include "platform/Console.h"

#include "platform/HexText.h"
#include "platform/Registry.h"

namespace cli {
namespace {

using Outcome = ActionRecord::Outcome;

// What a command wrote to one stream, each line indented under the stream's heading.
std::string Written(const char* heading, const std::string& text) {
    if (text.empty()) return {};
    const std::string indent = "\n" + std::string(22, ' ');
    std::string block = "\n" + std::string(20, ' ') + heading + indent;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') {
            if (i + 1 < text.size()) block += indent;
        } else {
            block += text[i];
        }
    }
    return block;
}

// An action's error, and the Windows error behind it, each on a line of its own.
std::string ErrorLines(const ActionRecord& record) {
    std::string line;
    if (record.error) {
        line += "\n" + std::string(20, ' ') + "error " + std::to_string(record.error->Number) +
                ", " + record.error->Source + ": " + DescriptionText(*record.error);
        if (record.error->SystemCode != 0) {
            line += "\n" + std::string(20, ' ') + "Windows error " +
                    std::to_string(record.error->SystemCode) + ": " + record.error->SystemText;
        }
    }
    return line;
}

std::string ActionLine(const ActionReport& action, bool apply) {
    const ActionRecord& record = action.record;
    std::string line;
    switch (record.kind) {
        case ActionRecord::Kind::Registry: {
            const RegistryItem& item = *record.registry;
            line = "registry  " + Padded(action.outcome, 10) + item.Key +
                   (item.Key.empty() || item.Key.back() == '\\' ? "" : "\\") +
                   ValueNameText(item.ValueName);
            if (!record.user.empty()) line += "  (" + record.user + " user)";
            if (action.policy) {
                line += "\n" + std::string(20, ' ') +
                        (action.policy->defined ? "policy " + action.policy->name + " (\"" +
                                                      action.policy->displayName + "\")"
                                                : std::string("not a defined policy"));
            }
            if (record.change && record.outcome == Outcome::Done) {
                const RegistryChange& change = *record.change;
                line += ": " + StateText(change.before) + " -> " + StateText(change.after);
                for (const std::string& key : change.createdKeys) {
                    line += "\n" + std::string(20, ' ') + "new key " + KeyText(change.root, key);
                }
            }
            if (apply && record.outcome == Outcome::Done &&
                !engine::Changed(record).value_or(true)) {
                line += "\n" + std::string(20, ' ') + "unchanged: already in place";
            }
            break;
        }
        case ActionRecord::Kind::Service:
        case ActionRecord::Kind::Task:
            line = (record.kind == ActionRecord::Kind::Service ? "service   " : "task      ") +
                   Padded(action.outcome, 10) + engine::SystemText(record);
            break;
        case ActionRecord::Kind::Command:
            line = "command   " + Padded(action.outcome, 10) + record.command->Command;
            if (action.program) line += "\n" + std::string(20, ' ') + "starts " + *action.program;
            if (record.exitCode) {
                line +=
                    "\n" + std::string(20, ' ') + "exit code " + std::to_string(*record.exitCode);
            }
            if (record.output) {
                line += Written("output", record.output->standard) +
                        Written("error output", record.output->errors);
            }
            break;
        case ActionRecord::Kind::Wmi:
            line = "wmi       " + Padded(action.outcome, 10) + record.query->Command;
            if (record.count) {
                line += "\n" + std::string(20, ' ') + std::to_string(*record.count) +
                        " found, warning level " + std::to_string(record.query->WarningLevel) +
                        (record.warned ? ": WARNS" : "");
            }
            break;
    }
    if (!record.note.empty()) line += "\n" + std::string(20, ' ') + record.note;
    return line + ErrorLines(record);
}

// The outcomes counted, the entries left out, and what changed apart from what did not.
std::string RunSummary(const Report& report, std::map<std::string, size_t>& counts,
                       size_t leftOut) {
    std::string summary;
    for (const std::string& word : engine::OutcomeWords(ModeOf(report.command))) {
        summary += (summary.empty() ? "" : ", ") + std::to_string(counts[word]) + " " + word;
    }
    if (leftOut != 0) {
        summary += " (" + std::to_string(leftOut) + (leftOut == 1 ? " entry" : " entries") +
                   " for other Windows left out)";
    }
    const ChangeCount changes = CountChanges(report);
    return summary + "; " + std::to_string(changes.changed) +
           (report.command == Command::Apply ? " changed, " : " would change, ") +
           std::to_string(changes.unchanged) + " unchanged; ";
}

}  // namespace

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string ProblemsText(const std::vector<Problem>& problems) {
    std::string text = problems.empty() ? "" : "\n";
    for (const Problem& problem : problems) {
        const bool error = problem.severity == Problem::Severity::Error;
        std::string place = problem.line == 0 ? std::string() : std::to_string(problem.line);
        if (problem.line != 0 && problem.column != 0) {
            place.push_back(':');
            place.append(std::to_string(problem.column));
        }
        // A long place still stands apart from the code.
        text += Padded(error ? "error" : "warning", 8) + Padded(place, 8) + " " + problem.code +
                ": " + problem.message + "\n";
    }
    return text;
}

std::string SummaryTail(const std::vector<Problem>& problems, int exitCode) {
    const auto errors =
        static_cast<size_t>(std::count_if(problems.begin(), problems.end(), [](const Problem& p) {
            return p.severity == Problem::Severity::Error;
        }));
    const size_t warnings = problems.size() - errors;
    return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
           std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings") + "; exit code " +
           std::to_string(exitCode) + "\n";
}

Place PlaceOf(const ActionRecord& record) {
    if (record.registry) return PlaceOf(*record.registry);
    if (record.service) return PlaceOf(*record.service);
    if (record.task) return PlaceOf(*record.task);
    if (record.command) return PlaceOf(*record.command);
    return PlaceOf(*record.query);
}

engine::RunMode ModeOf(Command command) {
    return command == Command::Apply ? engine::RunMode::Apply : engine::RunMode::Plan;
}

std::string LeftOutReason(const OptimizationItem& entry, const WindowsInfo& windows) {
    std::string versions;
    std::set<int32_t> named;
    for (const int32_t code : entry.osVersions) {
        if (!named.insert(code).second || code < 0 || code >= codes::kVersionCount) continue;
        versions += (versions.empty() ? "" : ", ") + codes::GetOSString(code);
    }
    return "meant for " + (versions.empty() ? "no Windows version" : versions) +
           ", not this Windows (" + windows.name + ")";
}

void LogNotWritten(const std::string& path, size_t lines, Console& console, Report& report) {
    const std::string message = path + " could not be written: " + std::to_string(lines) +
                                " failure line(s) of this run are not in it";
    console.Err("OrvikCli: " + message + "\n");
    report.problems.push_back({Problem::Severity::Warning, "log-not-written", 0, 0, message});
}

bool HasErrors(const Report& report) {
    return std::any_of(report.problems.begin(), report.problems.end(), [&](const Problem& p) {
        return p.severity == Problem::Severity::Error || report.strict;
    });
}

ChangeCount CountChanges(const Report& report) {
    ChangeCount count;
    for (const EntryReport& entry : report.entries) {
        for (const ActionReport& action : entry.actions) {
            const std::optional<bool> changed = engine::Changed(action.record);
            if (changed && *changed) ++count.changed;
            if (changed && !*changed && action.record.outcome == Outcome::Done) ++count.unchanged;
        }
    }
    return count;
}

namespace {

int RunExitCode(const Report& report) {
    using namespace exit_code;
    const bool errors = HasErrors(report);
    if (report.busy) return kBusy;
    if (!report.readable || report.refused || report.stopped) return kCatalogue;
    // A plan of a catalogue with errors says what apply would do: refuse it without --force.
    if (errors && report.command != Command::Apply) return kCatalogue;
    if (report.cleanupFailed || report.journalFailed) return kActionFailed;
    bool warned = false;
    for (const EntryReport& entry : report.entries) {
        for (const ActionReport& action : entry.actions) {
            if (action.record.outcome == Outcome::Failed) return kActionFailed;
            warned = warned || action.record.warned;
        }
    }
    return warned ? kWarned : kDone;
}

}  // namespace

int ExitCodeOf(const Report& report) {
    using namespace exit_code;
    const int code = RunExitCode(report);
    if (!report.detailed) return code;
    // A check warns of what a run cannot change: neither pending nor a failure.
    if (code != kDone && code != kWarned) return kActionFailed;
    return CountChanges(report).changed != 0 ? kPending : kDone;
}

std::string ReportText(const Report& report) {
    std::string text = "Catalogue  " + report.cataloguePath + "\n";
    if (report.sha256) text += "SHA-256    " + *report.sha256 + "\n";
    text += "Windows    " + report.windows.name + " (code " + std::to_string(report.windows.code) +
            "), build " + std::to_string(report.windows.build) +
            (report.windows.wow64 ? ", a 32-bit program on 64-bit Windows" : "") + "\n";
    if (report.users != Users::Current) {
        text +=
            "User       " + std::string(UsersName(report.users)) + ", " + report.hiveFile + "\n";
    }
    if (report.journal) text += "Journal    " + *report.journal + "\n";
    const PolicyDefinitionsReport& policies = report.policyDefinitions;
    text += "Policies   " +
            (!policies.checked ? std::string("not checked (--no-policy-definitions)")
             : policies.found
                 ? policies.folder + ", " + std::to_string(policies.definitions) + " definitions"
                 : policies.folder + ": no policy definitions found") +
            "\n";
    if (report.strict) text += "Strict     warnings count as errors\n";
    text += ProblemsText(report.problems);

    std::map<std::string, size_t> counts;
    size_t leftOut = 0;
    // validate lists its entries in JSON only: the text is about the problems.
    const bool listed = report.command != Command::Validate;
    for (const EntryReport& entry : report.entries) {
        if (!listed) break;
        const OptimizationItem& item = *entry.entry;
        text += "\n" + item.Number + "  " + item.Name + "  (line " +
                std::to_string(PlaceOf(item).line) + ")\n";
        if (entry.leftOut) {
            ++leftOut;
            text += "  left out: " + LeftOutReason(item, report.windows) + "\n";
        }
        for (const ActionReport& action : entry.actions) {
            ++counts[action.outcome];
            text += "  " + ActionLine(action, report.command == Command::Apply) + "\n";
        }
    }

    text += "\n";
    if (report.refused) {
        text += "The catalogue has errors: nothing was applied (--force applies it anyway).\n";
    }
    if (report.stopped) text += "Nothing was run: see the error above.\n";
    const std::string summary = listed ? RunSummary(report, counts, leftOut)
                                       : std::to_string(report.entries.size()) + " entries; ";
    return text + summary + SummaryTail(report.problems, report.exitCode);
}

}  // namespace cli
