#include "engine/journal/Journal.h"

#include <optional>
#include <stdexcept>

#include "OrvikVersion.h"
#include "catalogue/Values.h"
#include "json/Json.h"
#include "platform/ConsoleFiles.h"
#include "platform/HexText.h"

namespace engine {
namespace {

constexpr int kSchema = 1;

// stored: text as the registry stores it, when it was read so.
void Data(json::JsonWriter& json, const RegistryData& value,
          const std::vector<uint8_t>& stored = {}) {
    if (!value.present) {
        json.Null();
        return;
    }
    json.BeginObject().Key("type").Number(value.type).Key("data").String(HexText(value.data));
    if (!stored.empty()) json.Key("stored").String(HexText(stored));
    json.EndObject();
}

// What a line must hold; anything else makes it no whole record.
struct Damaged : std::runtime_error {
    Damaged() : std::runtime_error("no whole record") {}
};

const std::string& Text(const json::JsonValue& value) {
    if (value.type != json::JsonValue::Type::String) throw Damaged();
    return value.text;
}

int64_t Whole(const json::JsonValue& value, int64_t high) {
    if (value.type != json::JsonValue::Type::Number || value.number < 0 ||
        value.number > static_cast<double>(high) ||
        value.number != static_cast<double>(value.Int())) {
        throw Damaged();
    }
    return value.Int();
}

std::vector<uint8_t> Bytes(const json::JsonValue& hex) {
    catalogue::Converted<std::vector<uint8_t>> bytes = catalogue::BytesOf(Text(hex));
    if (!bytes.Ok()) throw Damaged();
    return std::move(bytes.value);
}

RegistryData DataOf(const json::JsonValue& value) {
    RegistryData data;
    if (value.IsNull()) return data;
    data.present = true;
    data.type = static_cast<uint32_t>(Whole(value["type"], 0xFFFFFFFF));
    data.data = Bytes(value["data"]);
    return data;
}

bool Flag(const json::JsonValue& value) {
    if (value.type != json::JsonValue::Type::Bool) throw Damaged();
    return value.boolean;
}

ServiceStart StartOf(const json::JsonValue& value) {
    return {static_cast<uint32_t>(Whole(value["type"], services::kDisabled)),
            Flag(value["delayed"])};
}

// A service's or a task's record; false for a record of another kind.
bool SystemRecordOf(const json::JsonValue& line, const std::string& kind, JournalRecord& record) {
    if (kind == "service") {
        record.kind = JournalRecord::Kind::Service;
        record.text = Text(line["name"]);
        record.system.before = StartOf(line["before"]);
        record.system.after = StartOf(line["after"]);
        const json::JsonValue& stopped = line["stopped"];
        record.system.stopped = !stopped.IsNull() && Flag(stopped);
    } else if (kind == "task") {
        record.kind = JournalRecord::Kind::Task;
        record.text = Text(line["path"]);
        record.system.enabledBefore = Flag(line["before"]);
        record.system.enabledAfter = Flag(line["after"]);
    } else {
        return false;
    }
    return true;
}

JournalRecord RecordOf(const json::JsonValue& line) {
    JournalRecord record;
    const std::string& kind = Text(line["record"]);
    const auto place = [&] {
        const int32_t root = reg::RootByName(Text(line["root"]));
        if (root == 0) throw Damaged();
        record.change.root = root;
        // Journals of the 64-bit build before it named its view said 0 or nothing: what that
        // build writes is the 64-bit view, which 32-bit Windows ignores as a flag.
        const json::JsonValue& view = line["view"];
        record.change.view = view.IsNull() ? 0 : static_cast<uint32_t>(Whole(view, 0xFFFFFFFF));
        if (record.change.view == 0) record.change.view = reg::kWow64_64Key;
    };
    if (kind == "entry") {
        record.kind = JournalRecord::Kind::Entry;
        record.number = Text(line["number"]);
        record.name = Text(line["name"]);
    } else if (kind == "keys") {
        record.kind = JournalRecord::Kind::Keys;
        place();
        if (line["keys"].type != json::JsonValue::Type::Array) throw Damaged();
        for (const json::JsonValue& key : line["keys"].items) {
            record.change.createdKeys.push_back(Text(key));
        }
    } else if (kind == "value") {
        record.kind = JournalRecord::Kind::Value;
        place();
        record.change.subKey = Text(line["key"]);
        record.change.valueName = Text(line["name"]);
        record.change.before = DataOf(line["before"]);
        record.change.after = DataOf(line["after"]);
        const json::JsonValue& before = line["before"];
        if (!before.IsNull() && !before["stored"].IsNull()) {
            record.change.storedBefore = Bytes(before["stored"]);
        }
    } else if (kind == "command" || kind == "wmi") {
        record.kind = kind == "wmi" ? JournalRecord::Kind::Wmi : JournalRecord::Kind::Command;
        record.text = Text(line[kind == "wmi" ? "query" : "command"]);
        record.outcome = Text(line["outcome"]);
    } else if (kind != "end" && !SystemRecordOf(line, kind, record)) {
        throw Damaged();
    }
    return record;
}

Problem Damage(Problem::Severity severity, const char* code, uint32_t line,
               const std::string& message) {
    return {severity, code, line, 0, message};
}

// The lines of the file, without a byte-order mark and line ends.
std::vector<std::string> LinesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The journal's head; none when the line is no journal's head.
std::optional<JournalHeader> HeaderOf(const std::string& line) {
    try {
        const json::JsonValue head = json::ParseJson(line);
        if (Text(head["record"]) != "journal" || Whole(head["schema"], kSchema) != kSchema) {
            return std::nullopt;
        }
        JournalHeader header;
        header.version = Text(head["version"]);
        header.cataloguePath = Text(head["catalogue"]["path"]);
        const json::JsonValue& sha256 = head["catalogue"]["sha256"];
        if (!sha256.IsNull()) header.sha256 = Text(sha256);
        header.machine = Text(head["machine"]);
        header.time = Text(head["time"]);
        const std::string& users = Text(head["user"]);
        for (const Users each : {Users::Current, Users::Default, Users::Both}) {
            if (users == UsersName(each)) header.users = each;
        }
        if (header.users != Users::Current) header.hiveFile = Text(head["defaultHive"]);
        return header;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

}  // namespace

Journal ReadJournal(const std::string& bytes) {
    Journal journal;
    const std::vector<std::string> lines = LinesOf(bytes);
    std::optional<JournalHeader> header = HeaderOf(lines.empty() ? "" : lines[0]);
    if (!header) return journal;
    journal.header = std::move(*header);
    journal.isJournal = true;

    bool ended = false;
    size_t i = 1;
    for (; i < lines.size() && !ended; ++i) {
        const auto number = static_cast<uint32_t>(i + 1);
        if (lines[i].empty() && i + 1 == lines.size()) break;  // after the last line break
        try {
            journal.records.push_back(RecordOf(json::ParseJson(lines[i])));
            journal.records.back().line = number;
            ended = journal.records.back().kind == JournalRecord::Kind::End;
        } catch (const std::runtime_error&) {
            const std::string upTo = "undone up to line " + std::to_string(number - 1);
            if (i + 1 == lines.size()) {
                journal.problems.push_back(Damage(
                    Problem::Severity::Warning, "journal-cut", number,
                    "the last record is cut short (the run was ended while it wrote it): " + upTo));
            } else {
                journal.problems.push_back(
                    Damage(Problem::Severity::Error, "journal-damaged", number,
                           "no whole record: " + upTo + ", what the " +
                               std::to_string(lines.size() - i) + " lines from here say is not"));
            }
            return journal;
        }
    }
    if (!ended) {
        journal.problems.push_back(
            Damage(Problem::Severity::Warning, "journal-cut", static_cast<uint32_t>(lines.size()),
                   "the journal ends before the run did (it was ended, or the file is cut short)"));
    }
    // The run wrote nothing after its end: what stands there was put there by other hands.
    size_t after = 0;
    for (size_t rest = i; rest < lines.size(); ++rest) after += lines[rest].empty() ? 0 : 1;
    if (ended && after != 0) {
        journal.problems.push_back(
            Damage(Problem::Severity::Warning, "journal-after-end", static_cast<uint32_t>(i + 1),
                   std::to_string(after) + " line(s) after the journal's end (line " +
                       std::to_string(i) + ") are no part of the run: they are not undone"));
    }
    return journal;
}

JournalWriter::JournalWriter(OutputFile& file, const JournalHeader& header) : file_(file) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("journal").Key("schema").Number(kSchema);
    json.Key("version").String(ORVIK_VERSION);
    json.Key("catalogue").BeginObject().Key("path").String(header.cataloguePath).Key("sha256");
    if (header.sha256) {
        json.String(*header.sha256);
    } else {
        json.Null();
    }
    json.EndObject();
    json.Key("machine").String(header.machine).Key("time").String(header.time);
    json.Key("user").String(UsersName(header.users));
    if (header.users != Users::Current) json.Key("defaultHive").String(header.hiveFile);
    json.EndObject();
    Line(json);
}

int32_t JournalWriter::Line(const json::JsonWriter& json) {
    if (failure_ == 0) failure_ = file_.Write(json.Text());
    return static_cast<int32_t>(failure_);
}

int32_t JournalWriter::KeysCreating(int32_t root, uint32_t view,
                                    const std::vector<std::string>& keys) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("keys").Key("root").String(reg::RootName(root));
    json.Key("view").Number(view).Key("keys").BeginArray();
    for (const std::string& key : keys) json.String(key);
    json.EndArray().EndObject();
    return ChangeLine(json);
}

int32_t JournalWriter::ValueChanging(const RegistryChange& change) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("value").Key("root").String(reg::RootName(change.root));
    json.Key("key").String(change.subKey).Key("view").Number(change.view);
    json.Key("name").String(change.valueName).Key("before");
    Data(json, change.before, change.storedBefore);
    json.Key("after");
    Data(json, change.after);
    json.EndObject();
    return ChangeLine(json);
}

namespace {

void StartJson(json::JsonWriter& json, const ServiceStart& start) {
    json.BeginObject().Key("type").Number(start.type).Key("delayed").Bool(start.delayed);
    json.EndObject();
}

}  // namespace

int32_t JournalWriter::ServiceChanging(const std::string& name, const ServiceStart& before,
                                       const ServiceStart& after, bool stops) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("service").Key("name").String(name).Key("before");
    StartJson(json, before);
    json.Key("after");
    StartJson(json, after);
    if (stops) json.Key("stopped").Bool(true);  // journals before it kept start types only
    json.EndObject();
    return Line(json);
}

int32_t JournalWriter::TaskChanging(const std::string& path, bool before, bool after) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("task").Key("path").String(path);
    json.Key("before").Bool(before).Key("after").Bool(after).EndObject();
    return Line(json);
}

void JournalWriter::Entry(const OptimizationItem& entry) {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("entry").Key("number").String(entry.Number);
    json.Key("name").String(entry.Name).EndObject();
    Line(json);
}

void JournalWriter::Action(const ActionRecord& record, const std::string& outcome) {
    // Values, services and tasks are journaled as they are changed.
    if (record.kind != ActionRecord::Kind::Command && record.kind != ActionRecord::Kind::Wmi) {
        return;
    }
    const bool wmi = record.kind == ActionRecord::Kind::Wmi;
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String(wmi ? "wmi" : "command");
    json.Key(wmi ? "query" : "command")
        .String(wmi ? record.query->Command : record.command->Command);
    json.Key("outcome").String(outcome).EndObject();
    Line(json);
}

void JournalWriter::Flush() {
    if (failure_ == 0) failure_ = file_.Flush();
}

void JournalWriter::End() {
    json::JsonWriter json(true);
    json.BeginObject().Key("record").String("end").EndObject();
    Line(json);
    Flush();
}

}  // namespace engine
