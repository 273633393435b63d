#include "cli/FleetReport.h"

#include "json/Json.h"

namespace cli {

std::string FleetText(const FleetReport& report) {
    std::string text;
    for (const std::string& file : report.files) text += "wrote " + file + "\n";
    text += report.command == "export"
                ? std::to_string(report.values) + " registry values exported, " +
                      std::to_string(report.leftOut.size()) + " actions left out\n"
                : std::to_string(report.values) + " entries imported, " +
                      std::to_string(report.warnings.size()) + " warnings\n";
    return report.error.empty() ? text : text + "not done: " + report.error + "\n";
}

std::string FleetNotes(const FleetReport& report) {
    std::string notes;
    for (const fleet::LeftOut& out : report.leftOut) {
        notes += "left out of entry " + out.number + ": " + out.kind + " " + out.text + " (" +
                 out.reason + ")\n";
    }
    for (const std::string& warning : report.warnings) notes += "warning: " + warning + "\n";
    if (!report.error.empty()) notes += "OrvikCli: " + report.error + "\n";
    return notes;
}

std::string FleetJson(const FleetReport& report) {
    json::JsonWriter json;
    json.BeginObject().Key("command").String(report.command).Key("format").String(report.format);
    json.Key("files").BeginArray();
    for (const std::string& file : report.files) json.String(file);
    json.EndArray().Key("leftOut").BeginArray();
    for (const fleet::LeftOut& out : report.leftOut) {
        json.BeginObject().Key("number").String(out.number).Key("kind").String(out.kind);
        json.Key("text").String(out.text).Key("reason").String(out.reason).EndObject();
    }
    json.EndArray().Key("warnings").BeginArray();
    for (const std::string& warning : report.warnings) json.String(warning);
    json.EndArray().Key("summary").BeginObject();
    json.Key(report.command == "export" ? "values" : "entries")
        .Number(static_cast<int64_t>(report.values));
    json.Key("error").StringOrNull(report.error.empty() ? std::nullopt
                                                        : std::optional<std::string>(report.error));
    json.Key("exitCode").Number(report.exitCode).EndObject().EndObject();
    return json.Text() + "\n";
}

}  // namespace cli
