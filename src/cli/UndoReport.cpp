#include "cli/UndoReport.h"

#include <map>

#include "OrvikVersion.h"
#include "cli/Report.h"
#include "engine/SystemRunners.h"
#include "json/Json.h"

namespace cli {
namespace {

using engine::JournalHeader;
using engine::JournalRecord;
using engine::UndoAction;
using engine::UndoOutcomes;
using engine::UndoWord;
using Kind = JournalRecord::Kind;

constexpr int kSchema = 1;
using Outcome = UndoAction::Outcome;

std::string StateOf(const UndoAction& action) {
    const RegistryChange& change = action.record->change;
    const std::string found = StateText(action.found);
    if (action.outcome == Outcome::Restored) return found + " -> " + StateText(change.before);
    if (action.outcome == Outcome::Conflict)
        return found + ", the run wrote " + StateText(change.after);
    return found;
}

std::string StartName(const ServiceStart& start) { return ServiceRunner::StartName(start); }
std::string TaskState(bool enabled) { return enabled ? "Enabled" : "Disabled"; }

// A service's or task's state when undo came to it, before the run and as the run left it.
struct SystemStates {
    std::string found, before, after;
};
SystemStates StatesOf(const UndoAction& action) {
    const JournalRecord& record = *action.record;
    if (record.kind == Kind::Service) {
        return {action.gone ? "(gone)" : StartName(action.foundStart),
                StartName(record.system.before), StartName(record.system.after)};
    }
    return {action.gone ? "(gone)" : TaskState(action.foundEnabled),
            TaskState(record.system.enabledBefore), TaskState(record.system.enabledAfter)};
}

// As a value's: what undo found, and what it put back or what the run had set.
std::string SystemLine(const UndoAction& action) {
    const SystemStates states = StatesOf(action);
    // A record of a stop: undo starts the service again once its start type is back.
    const std::string started = action.record->system.stopped ? ", started again" : "";
    if (action.outcome == Outcome::Restored) return states.found + " -> " + states.before + started;
    if (action.outcome == Outcome::Conflict) return states.found + ", the run set " + states.after;
    return states.found;
}

std::string ActionLine(const UndoAction& action) {
    const JournalRecord& record = *action.record;
    const std::string outcome = Padded(UndoWord(action.outcome), 14);
    std::string line;
    switch (record.kind) {
        case Kind::Value:
            line = "registry  " + outcome + KeyText(record.change.root, record.change.subKey) +
                   "\\" + ValueNameText(record.change.valueName);
            if (action.outcome != Outcome::Failed) line += ": " + StateOf(action);
            break;
        case Kind::Keys:
            line = "key       " + outcome + KeyText(record.change.root, action.key);
            break;
        case Kind::Service:
        case Kind::Task:
            line = (record.kind == Kind::Service ? "service   " : "task      ") + outcome +
                   record.text;
            if (action.outcome != Outcome::Failed) line += ": " + SystemLine(action);
            break;
        case Kind::Command: line = "command   " + outcome + record.text; break;
        default: line = "wmi       " + outcome + record.text; break;
    }
    if (action.error != 0) {
        line += "\n" + std::string(24, ' ') + "error " + std::to_string(action.error) +
                (action.errorText.empty() ? "" : ": " + action.errorText);
    }
    return line;
}

void JournalJson(json::JsonWriter& json, const UndoReport& report) {
    const JournalHeader& run = report.journal.header;
    json.Key("journal").BeginObject().Key("path").String(report.path);
    if (report.journal.isJournal) {
        json.Key("version").String(run.version).Key("machine").String(run.machine);
        json.Key("time").String(run.time).Key("user").String(UsersName(run.users));
        json.Key("defaultHive");
        if (run.users == Users::Current) {
            json.Null();
        } else {
            json.String(run.hiveFile);
        }
        json.Key("catalogue").BeginObject().Key("path").String(run.cataloguePath);
        json.Key("sha256").StringOrNull(run.sha256);
        json.EndObject();
    }
    json.EndObject();
}

void ActionJson(json::JsonWriter& json, const UndoAction& action) {
    const JournalRecord& record = *action.record;
    json.BeginObject();
    switch (record.kind) {
        case Kind::Value:
            json.Key("kind").String("registry").Key("outcome").String(UndoWord(action.outcome));
            json.Key("key").String(KeyText(record.change.root, record.change.subKey));
            json.Key("valueName").String(record.change.valueName).Key("before");
            ValueJson(json, record.change.before);
            json.Key("after");
            ValueJson(json, record.change.after);
            json.Key("found");
            ValueJson(json, action.found);
            break;
        case Kind::Service:
        case Kind::Task: {
            const bool service = record.kind == Kind::Service;
            const SystemStates states = StatesOf(action);
            json.Key("kind").String(service ? "service" : "task");
            json.Key("outcome").String(UndoWord(action.outcome));
            json.Key(service ? "name" : "path").String(record.text);
            json.Key("before").String(states.before).Key("after").String(states.after);
            // Only in a record of a stop, as the journal has it: the run stopped the service.
            if (record.system.stopped) json.Key("stopped").Bool(true);
            json.Key("found");
            if (action.gone) {
                json.Null();
            } else {
                json.String(states.found);
            }
            break;
        }
        case Kind::Keys:
            json.Key("kind").String("key").Key("outcome").String(UndoWord(action.outcome));
            json.Key("key").String(KeyText(record.change.root, action.key));
            break;
        default: {
            const bool wmi = record.kind == Kind::Wmi;
            json.Key("kind").String(wmi ? "wmi" : "command");
            json.Key("outcome").String(UndoWord(action.outcome));
            json.Key(wmi ? "query" : "command").String(record.text);
            json.Key("ran").String(record.outcome);
        }
    }
    if (action.error != 0) json.Key("error").Number(action.error);
    if (!action.errorText.empty()) json.Key("errorText").String(action.errorText);
    json.EndObject();
}

}  // namespace

int ExitCodeOf(const UndoReport& report) {
    if (report.busy) return exit_code::kBusy;
    const auto any = [&](Outcome outcome) {
        for (const UndoEntry& entry : report.entries) {
            for (const UndoAction& action : entry.actions) {
                if (action.outcome == outcome) return true;
            }
        }
        return false;
    };
    for (const Problem& problem : report.journal.problems) {
        if (problem.severity == Problem::Severity::Error) return exit_code::kCatalogue;
    }
    if (!report.ran) return exit_code::kCatalogue;
    if (any(Outcome::Failed) || report.cleanupFailed) return exit_code::kActionFailed;
    return any(Outcome::Conflict) ? exit_code::kConflict : exit_code::kDone;
}

std::string UndoText(const UndoReport& report) {
    const JournalHeader& run = report.journal.header;
    std::string text = "Journal    " + report.path + "\n";
    if (report.dryRun) text += "Dry run    nothing is changed: this is what undo would do\n";
    if (report.journal.isJournal) {
        text += "Run        " + run.time + " on " + run.machine + ", OrvikCli " + run.version +
                "\nCatalogue  " + run.cataloguePath + "\n";
        if (run.users != Users::Current) {
            text += "User       " + std::string(UsersName(run.users)) + ", " + run.hiveFile + "\n";
        }
    }
    text += ProblemsText(report.problems);
    std::map<Outcome, size_t> counts;
    for (const UndoEntry& entry : report.entries) {
        text += "\n" + entry.number + "  " + entry.name + "\n";
        for (const UndoAction& action : entry.actions) {
            ++counts[action.outcome];
            text += "  " + ActionLine(action) + "\n";
        }
    }
    std::string summary;
    for (const Outcome outcome : UndoOutcomes()) {
        summary += (summary.empty() ? "" : ", ") + std::to_string(counts[outcome]) + " " +
                   UndoWord(outcome);
    }
    return text + "\n" + summary + "; " + SummaryTail(report.problems, report.exitCode);
}

std::string UndoJson(const UndoReport& report) {
    json::JsonWriter json;
    json.BeginObject().Key("schema").Number(kSchema).Key("version").String(ORVIK_VERSION);
    json.Key("command").String("undo").Key("dryRun").Bool(report.dryRun);
    JournalJson(json, report);
    const int64_t errors = ProblemsJson(json, report.problems);

    std::map<Outcome, int64_t> counts;
    json.Key("entries").BeginArray();
    for (const UndoEntry& entry : report.entries) {
        json.BeginObject().Key("number").String(entry.number).Key("name").String(entry.name);
        json.Key("actions").BeginArray();
        for (const UndoAction& action : entry.actions) {
            ++counts[action.outcome];
            ActionJson(json, action);
        }
        json.EndArray().EndObject();
    }
    json.EndArray();

    json.Key("summary").BeginObject().Key("outcomes").BeginObject();
    for (const Outcome outcome : UndoOutcomes())
        json.Key(UndoWord(outcome)).Number(counts[outcome]);
    json.EndObject();
    json.Key("errors").Number(errors);
    json.Key("warnings").Number(static_cast<int64_t>(report.problems.size()) - errors);
    json.Key("exitCode").Number(report.exitCode).EndObject();
    json.EndObject();
    return json.Text();
}

}  // namespace cli
