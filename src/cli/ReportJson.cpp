#include <map>

#include "OrvikVersion.h"
#include "cli/Report.h"
#include "engine/SystemRunners.h"
#include "json/Json.h"
#include "platform/Registry.h"

namespace cli {

using json::JsonWriter;
namespace {

constexpr int kSchema = 1;

void Position(JsonWriter& json, Place place) {
    json.Key("line").Number(place.line ? std::optional<int64_t>(place.line) : std::nullopt);
    json.Key("column").Number(place.column ? std::optional<int64_t>(place.column) : std::nullopt);
}

// The policy that defines a value under a policy key, or null.
void PolicyJson(JsonWriter& json, const PolicyNote& policy) {
    json.Key("policy");
    if (!policy.defined) {
        json.Null();
        return;
    }
    json.BeginObject().Key("name").String(policy.name);
    json.Key("displayName").String(policy.displayName).EndObject();
}

// The folder the values were checked against, or null when they were not.
void DefinitionsJson(JsonWriter& json, const PolicyDefinitionsReport& policies) {
    json.Key("policyDefinitions");
    if (!policies.checked) {
        json.Null();
        return;
    }
    json.BeginObject().Key("folder").String(policies.folder).Key("found").Bool(policies.found);
    json.Key("definitions").Number(static_cast<int64_t>(policies.definitions)).EndObject();
}

// What a registry action did: the value before and after, and the keys it made.
void ChangeJson(JsonWriter& json, const RegistryChange& change) {
    json.Key("before");
    ValueJson(json, change.before);
    json.Key("after");
    ValueJson(json, change.after);
    json.Key("createdKeys").BeginArray();
    for (const std::string& key : change.createdKeys) json.String(KeyText(change.root, key));
    json.EndArray();
}

// A service's start type or a task's state as the catalogue names it.
std::string StateName(const ActionRecord& record, bool after) {
    const SystemChange& state = *record.system;
    if (record.kind == ActionRecord::Kind::Service) {
        return ServiceRunner::StartName(after ? state.after : state.before);
    }
    return (after ? state.enabledAfter : state.enabledBefore) ? "Enabled" : "Disabled";
}

// A service or task action: what it asks, and the state before and after (null when not read:
// not on this machine, or a failure before it was read).
void SystemJson(JsonWriter& json, const ActionReport& action) {
    const ActionRecord& record = action.record;
    const bool service = record.kind == ActionRecord::Kind::Service;
    json.Key("kind").String(service ? "service" : "task").Key("outcome").String(action.outcome);
    Position(json, PlaceOf(record));
    if (service) {
        json.Key("name").String(record.service->Name);
        json.Key("startType").String(record.service->StartType);
    } else {
        json.Key("path").String(record.task->Path).Key("state").String(record.task->State);
    }
    for (const bool after : {false, true}) {
        json.Key(after ? "after" : "before");
        if (record.system) {
            json.String(StateName(record, after));
        } else {
            json.Null();
        }
    }
    if (service && record.system) json.Key("running").Bool(record.system->running);
    // Only for a service the catalogue asks to stop: other records read as before.
    if (service && record.system && record.service->Stop) {
        json.Key("stopped").Bool(record.system->stopped);
    }
}

// What every kind of action has after its own fields: whether it changed the machine (null where
// that cannot be known), a note, and its error.
void ActionEnd(JsonWriter& json, const ActionRecord& record) {
    const std::optional<bool> changed = engine::Changed(record);
    json.Key("changed");
    if (changed) {
        json.Bool(*changed);
    } else {
        json.Null();
    }
    if (!record.note.empty()) json.Key("note").String(record.note);
    if (!record.error) return;
    json.Key("error").BeginObject();
    json.Key("number").Number(record.error->Number);
    json.Key("source").String(record.error->Source);
    json.Key("description").String(DescriptionText(*record.error));
    if (record.error->SystemCode != 0) {
        json.Key("systemCode").Number(int64_t{record.error->SystemCode});
        json.Key("systemText").String(record.error->SystemText);
    }
    json.EndObject();
}

void Action(JsonWriter& json, const ActionReport& action) {
    const ActionRecord& record = action.record;
    json.BeginObject();
    switch (record.kind) {
        case ActionRecord::Kind::Registry: {
            const RegistryItem& item = *record.registry;
            json.Key("kind").String("registry").Key("outcome").String(action.outcome);
            Position(json, PlaceOf(record));
            json.Key("key").String(item.Key).Key("valueName").String(item.ValueName);
            json.Key("keyType").String(RegistryItem::GetKeyType(item.KeyType));
            json.Key("value").String(item.Value);
            if (action.policy) PolicyJson(json, *action.policy);
            if (!record.user.empty()) json.Key("user").String(record.user);
            if (record.change) ChangeJson(json, *record.change);
            break;
        }
        case ActionRecord::Kind::Service:
        case ActionRecord::Kind::Task: SystemJson(json, action); break;
        case ActionRecord::Kind::Command:
            json.Key("kind").String("command").Key("outcome").String(action.outcome);
            Position(json, PlaceOf(record));
            json.Key("command").String(record.command->Command);
            if (action.program) json.Key("program").String(*action.program);
            if (record.exitCode) json.Key("exitCode").Number(int64_t{*record.exitCode});
            if (record.output) {
                json.Key("output").BeginObject().Key("stdout").String(record.output->standard);
                json.Key("stderr").String(record.output->errors).EndObject();
            }
            break;
        case ActionRecord::Kind::Wmi:
            json.Key("kind").String("wmi").Key("outcome").String(action.outcome);
            Position(json, PlaceOf(record));
            json.Key("query").String(record.query->Command);
            json.Key("warningLevel").Number(record.query->WarningLevel);
            if (record.outcome == ActionRecord::Outcome::Done) {
                json.Key("count").Number(record.count ? std::optional<int64_t>(*record.count)
                                                      : std::nullopt);
                json.Key("warn").Bool(record.warned);
            }
            break;
    }
    ActionEnd(json, record);
    json.EndObject();
}

// Why a plan or apply left the entry out; null for one that ran.
void Reason(JsonWriter& json, const EntryReport& entry, const WindowsInfo& windows) {
    json.Key("reason");
    if (entry.leftOut) {
        json.String(LeftOutReason(*entry.entry, windows));
    } else {
        json.Null();
    }
}

}  // namespace

// null when absent; else its type and its data: text, a DWORD's number, or hexadecimal pairs.
void ValueJson(JsonWriter& json, const RegistryData& value) {
    if (!value.present) {
        json.Null();
        return;
    }
    json.BeginObject().Key("type").String(TypeName(value.type)).Key("data");
    if (value.type == reg::kMultiSz) {
        json.BeginArray();
        for (const std::string& each : MultiStrings(value)) json.String(each);
        json.EndArray();
    } else if (value.type == reg::kDword && value.data.size() == 4) {
        json.Number(std::stoll(DataText(value)));
    } else {
        json.String(DataText(value));
    }
    json.EndObject();
}

int64_t ProblemsJson(JsonWriter& json, const std::vector<Problem>& problems) {
    int64_t errors = 0;
    json.Key("problems").BeginArray();
    for (const Problem& problem : problems) {
        const bool error = problem.severity == Problem::Severity::Error;
        errors += error ? 1 : 0;
        json.BeginObject().Key("severity").String(error ? "error" : "warning");
        json.Key("code").String(problem.code);
        Position(json, {problem.line, problem.column});
        json.Key("message").String(problem.message).EndObject();
    }
    json.EndArray();
    return errors;
}

namespace {

// What the entries' actions came to, for the summary.
struct Tally {
    std::map<std::string, int64_t> outcomes;
    int64_t leftOut = 0;
    bool warned = false;
};

// The command, the catalogue, the Windows and the options the run was made with.
void HeadJson(JsonWriter& json, const Report& report) {
    json.Key("schema").Number(kSchema);
    json.Key("version").String(ORVIK_VERSION);
    json.Key("command").String(CommandName(report.command));

    json.Key("catalogue").BeginObject().Key("path").String(report.cataloguePath);
    json.Key("sha256").StringOrNull(report.sha256).EndObject();

    json.Key("windows").BeginObject();
    json.Key("name").String(report.windows.name).Key("code").Number(report.windows.code);
    json.Key("build").Number(report.windows.build).Key("wow64").Bool(report.windows.wow64);
    json.EndObject();

    if (report.command != Command::Validate) {
        json.Key("user").String(UsersName(report.users)).Key("defaultHive");
        json.StringOrNull(report.users == Users::Current ? std::nullopt
                                                         : std::optional(report.hiveFile));
    }
    if (report.command == Command::Apply) {
        json.Key("journal").StringOrNull(report.journal);
        json.Key("trustCatalogue").Bool(report.catalogueTrusted);
    }
}

Tally EntriesJson(JsonWriter& json, const Report& report) {
    Tally tally;
    json.Key("entries").BeginArray();
    for (const EntryReport& entry : report.entries) {
        const OptimizationItem& item = *entry.entry;
        json.BeginObject().Key("number").String(item.Number).Key("name").String(item.Name);
        Position(json, PlaceOf(item));
        if (report.command == Command::Validate) {
            json.Key("enabled").Bool(item.Enabled);
        } else {
            tally.leftOut += entry.leftOut ? 1 : 0;
            Reason(json, entry, report.windows);
            json.Key("actions").BeginArray();
            for (const ActionReport& action : entry.actions) {
                ++tally.outcomes[action.outcome];
                tally.warned = tally.warned || action.record.warned;
                Action(json, action);
            }
            json.EndArray();
        }
        json.EndObject();
    }
    json.EndArray();
    return tally;
}

void SummaryJson(JsonWriter& json, const Report& report, Tally& tally, int64_t errors) {
    json.Key("summary").BeginObject();
    if (report.command != Command::Validate) {
        json.Key("outcomes").BeginObject();
        for (const std::string& word : engine::OutcomeWords(ModeOf(report.command))) {
            json.Key(word).Number(tally.outcomes[word]);
        }
        json.EndObject();
        json.Key("leftOut").Number(tally.leftOut);
        const ChangeCount changes = CountChanges(report);
        json.Key("changed").Bool(changes.changed != 0);
        json.Key("changes").Number(changes.changed).Key("unchanged").Number(changes.unchanged);
        json.Key("warned").Bool(tally.warned);
        json.Key("refused").Bool(report.refused || report.stopped);
    }
    json.Key("strict").Bool(report.strict);
    json.Key("errors").Number(errors);
    json.Key("warnings").Number(static_cast<int64_t>(report.problems.size()) - errors);
    json.Key("exitCode").Number(report.exitCode);
    json.EndObject();
}

}  // namespace

std::string ReportJson(const Report& report) {
    JsonWriter json;
    json.BeginObject();
    HeadJson(json, report);
    DefinitionsJson(json, report.policyDefinitions);
    const int64_t errors = ProblemsJson(json, report.problems);
    Tally tally = EntriesJson(json, report);
    SummaryJson(json, report, tally, errors);
    json.EndObject();
    return json.Text();
}

}  // namespace cli
