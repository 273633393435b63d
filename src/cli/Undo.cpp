#include "cli/Undo.h"

#include <algorithm>
#include <map>

#include "OrvikVersion.h"
#include "catalogue/Codes.h"
#include "cli/Json.h"
#include "cli/Report.h"
#include "engine/RegistryTap.h"

namespace cli {
namespace {

using Kind = JournalRecord::Kind;

constexpr int kSchema = 1;
const std::vector<std::string> kOutcomes = {"restored", "removed", "unchanged",   "kept",
                                            "conflict", "failed",  "not-undoable"};

UndoAction Failed(UndoAction action, int32_t error) {
    action.outcome = "failed";
    action.error = error;
    return action;
}

bool SameValue(const RegistryChange& a, const RegistryChange& b) {
    return a.root == b.root && a.view == b.view &&
           codes::UpperAscii(a.subKey) == codes::UpperAscii(b.subKey) &&
           codes::UpperAscii(a.valueName) == codes::UpperAscii(b.valueName);
}

// What the value held before this record's write or before an earlier one of the same run: a
// value found so was never written by the run from there on, or has been put back already.
bool HeldBefore(const RegistryData& found, const std::vector<JournalRecord>& records,
                const JournalRecord& record) {
    for (const JournalRecord& earlier : records) {
        if (earlier.line > record.line) break;
        if (earlier.kind == Kind::Value && SameValue(earlier.change, record.change) &&
            earlier.change.before == found) {
            return true;
        }
    }
    return false;
}

UndoAction UndoValue(const JournalRecord& record, const std::vector<JournalRecord>& records,
                     Registry& registry) {
    const RegistryChange& change = record.change;
    UndoAction action{&record, {}, "unchanged", {}, 0};
    RegKey key = 0;
    const RegKey root = reg::RootKey(change.root);
    const int32_t opened = registry.OpenKey(
        root, change.subKey, reg::kQueryValue | reg::kSetValue | change.view, key);
    if (opened != reg::kSuccess && opened != reg::kFileNotFound) return Failed(action, opened);
    int32_t result = reg::kSuccess;
    // A value that cannot be read is no value that is absent: deciding on it could delete it.
    if (key != 0) action.found = RegistryTap::Read(registry, key, change.valueName, result);
    if (result != reg::kSuccess) {
        // Nothing decided.
    } else if (HeldBefore(action.found, records, record)) {
        // Nothing to do.
    } else if (action.found != change.after) {
        action.outcome = "conflict";
    } else if (!change.before.present) {
        action.outcome = "restored";
        result = registry.DeleteValue(key, change.valueName);
    } else {
        action.outcome = "restored";
        if (key == 0) {
            result = registry.CreateKey(root, change.subKey,
                                        reg::kAllSpecificRights | change.view, key);
        }
        if (result == reg::kSuccess) {
            const std::vector<uint8_t>& data = change.before.data;
            result = registry.SetValue(key, change.valueName, change.before.type, data.data(),
                                       static_cast<uint32_t>(data.size()));
        }
    }
    if (key != 0) registry.CloseKey(key);
    return result == reg::kSuccess ? action : Failed(action, result);
}

// A key the run made goes when nothing is in it any more: no sub key, no value.
UndoAction UndoKey(const JournalRecord& record, const std::string& path, Registry& registry) {
    const RegistryChange& change = record.change;
    UndoAction action{&record, path, "unchanged", {}, 0};
    const RegKey root = reg::RootKey(change.root);
    RegKey key = 0;
    const int32_t opened = registry.OpenKey(
        root, path, reg::kQueryValue | reg::kEnumerateSubKeys | change.view, key);
    if (opened == reg::kFileNotFound) return action;
    if (opened != reg::kSuccess) return Failed(action, opened);
    char name[2];
    uint32_t length = sizeof name;
    const int32_t subKey = registry.EnumKey(key, 0, name, sizeof name);
    const int32_t value = registry.EnumValue(key, 0, name, length);
    registry.CloseKey(key);
    for (const int32_t listed : {subKey, value}) {
        if (listed != reg::kSuccess && listed != reg::kMoreData && listed != reg::kNoMoreItems) {
            return Failed(action, listed);
        }
    }
    if (subKey != reg::kNoMoreItems || value != reg::kNoMoreItems) {
        action.outcome = "kept";
        return action;
    }
    action.outcome = "removed";
    const int32_t deleted = registry.DeleteKey(root, path, change.view);
    return deleted == reg::kSuccess ? action : Failed(action, deleted);
}

std::string StateOf(const UndoAction& action) {
    const RegistryChange& change = action.record->change;
    const std::string found = StateText(action.found);
    if (action.outcome == "restored") return found + " -> " + StateText(change.before);
    if (action.outcome == "conflict") return found + ", the run wrote " + StateText(change.after);
    return found;
}

std::string ActionLine(const UndoAction& action) {
    const JournalRecord& record = *action.record;
    const std::string outcome = Padded(action.outcome, 14);
    std::string line;
    switch (record.kind) {
        case Kind::Value:
            line = "registry  " + outcome + KeyText(record.change.root, record.change.subKey) +
                   "\\" + record.change.valueName;
            if (action.outcome != "failed") line += ": " + StateOf(action);
            break;
        case Kind::Keys:
            line = "key       " + outcome + KeyText(record.change.root, action.key);
            break;
        case Kind::Command: line = "command   " + outcome + record.text; break;
        default: line = "wmi       " + outcome + record.text; break;
    }
    if (action.error != 0) {
        line += "\n" + std::string(24, ' ') + "error " + std::to_string(action.error);
    }
    return line;
}

}  // namespace

std::vector<UndoEntry> UndoRecords(const std::vector<JournalRecord>& records, Registry& registry) {
    std::vector<UndoEntry> entries;
    for (const JournalRecord& record : records) {
        if (record.kind == Kind::Entry || entries.empty()) {
            entries.push_back({record.number, record.name, {}});
        }
        if (record.kind != Kind::Entry && record.kind != Kind::End) {
            entries.back().actions.push_back({&record, {}, "not-undoable", {}, 0});
        }
    }
    std::reverse(entries.begin(), entries.end());
    for (UndoEntry& entry : entries) {
        std::vector<UndoAction> done;
        for (auto it = entry.actions.rbegin(); it != entry.actions.rend(); ++it) {
            const JournalRecord& record = *it->record;
            if (record.kind == Kind::Value) {
                done.push_back(UndoValue(record, records, registry));
            } else if (record.kind == Kind::Keys) {
                const auto& keys = record.change.createdKeys;
                for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
                    done.push_back(UndoKey(record, *key, registry));
                }
            } else {
                done.push_back(*it);
            }
        }
        entry.actions = std::move(done);
    }
    return entries;
}

bool TouchesProfile(const std::vector<JournalRecord>& records) {
    const std::string hive = codes::UpperAscii(kProfileHive);
    return std::any_of(records.begin(), records.end(), [&](const JournalRecord& record) {
        const std::string path = codes::UpperAscii(
            record.kind == Kind::Keys && !record.change.createdKeys.empty()
                ? record.change.createdKeys.front()
                : record.change.subKey);
        return (record.kind == Kind::Value || record.kind == Kind::Keys) &&
               record.change.root == reg::kUsers && path.rfind(hive, 0) == 0 &&
               (path.size() == hive.size() || path[hive.size()] == '\\');
    });
}

int ExitCodeOf(const UndoReport& report) {
    const auto any = [&](const std::string& outcome) {
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
    if (any("failed") || report.cleanupFailed) return exit_code::kActionFailed;
    return any("conflict") ? exit_code::kConflict : exit_code::kDone;
}

std::string UndoText(const UndoReport& report) {
    const JournalHeader& run = report.journal.header;
    std::string text = "Journal    " + report.path + "\n";
    if (report.journal.isJournal) {
        text += "Run        " + run.time + " on " + run.machine + ", OrvikCli " + run.version +
                "\nCatalogue  " + run.cataloguePath + "\n";
        if (run.users != Users::Current) {
            text += "User       " + std::string(UsersName(run.users)) + ", " + run.hiveFile + "\n";
        }
    }
    text += ProblemsText(report.problems);
    std::map<std::string, size_t> counts;
    for (const UndoEntry& entry : report.entries) {
        text += "\n" + entry.number + "  " + entry.name + "\n";
        for (const UndoAction& action : entry.actions) {
            ++counts[action.outcome];
            text += "  " + ActionLine(action) + "\n";
        }
    }
    std::string summary;
    for (const std::string& word : kOutcomes) {
        summary += (summary.empty() ? "" : ", ") + std::to_string(counts[word]) + " " + word;
    }
    return text + "\n" + summary + "; " + SummaryTail(report.problems, report.exitCode);
}

std::string UndoJson(const UndoReport& report) {
    const JournalHeader& run = report.journal.header;
    JsonWriter json;
    json.BeginObject().Key("schema").Number(kSchema).Key("version").String(ORVIK_VERSION);
    json.Key("command").String("undo");
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
        json.Key("sha256");
        if (run.sha256) {
            json.String(*run.sha256);
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndObject();
    const int64_t errors = ProblemsJson(json, report.problems);

    std::map<std::string, int64_t> counts;
    json.Key("entries").BeginArray();
    for (const UndoEntry& entry : report.entries) {
        json.BeginObject().Key("number").String(entry.number).Key("name").String(entry.name);
        json.Key("actions").BeginArray();
        for (const UndoAction& action : entry.actions) {
            ++counts[action.outcome];
            const JournalRecord& record = *action.record;
            json.BeginObject();
            switch (record.kind) {
                case Kind::Value:
                    json.Key("kind").String("registry").Key("outcome").String(action.outcome);
                    json.Key("key").String(KeyText(record.change.root, record.change.subKey));
                    json.Key("valueName").String(record.change.valueName).Key("before");
                    ValueJson(json, record.change.before);
                    json.Key("after");
                    ValueJson(json, record.change.after);
                    json.Key("found");
                    ValueJson(json, action.found);
                    break;
                case Kind::Keys:
                    json.Key("kind").String("key").Key("outcome").String(action.outcome);
                    json.Key("key").String(KeyText(record.change.root, action.key));
                    break;
                default: {
                    const bool wmi = record.kind == Kind::Wmi;
                    json.Key("kind").String(wmi ? "wmi" : "command");
                    json.Key("outcome").String(action.outcome);
                    json.Key(wmi ? "query" : "command").String(record.text);
                    json.Key("ran").String(record.outcome);
                }
            }
            if (action.error != 0) json.Key("error").Number(action.error);
            json.EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray();

    json.Key("summary").BeginObject().Key("outcomes").BeginObject();
    for (const std::string& word : kOutcomes) json.Key(word).Number(counts[word]);
    json.EndObject();
    json.Key("errors").Number(errors);
    json.Key("warnings").Number(static_cast<int64_t>(report.problems.size()) - errors);
    json.Key("exitCode").Number(report.exitCode).EndObject();
    json.EndObject();
    return json.Text();
}

}  // namespace cli
