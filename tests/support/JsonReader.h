#pragma once
// The programs' JSON read as a script reads it, parsed rather than searched for text: with the
// console program's own strict reader, the one its undo reads journals with.

#include "json/Json.h"

namespace json {
using Value = json::JsonValue;
inline Value Parse(std::string_view text) { return json::ParseJson(text); }

// The outcome (or another field: "changed", as yes, no or null) of every action of a report,
// entry by entry: "1: set change; 2: fail skip".
inline std::string Outcomes(const Value& report, const std::string& field = "outcome") {
    std::string words;
    for (const Value& entry : report["entries"].items) {
        words += (words.empty() ? "" : "; ") + entry["number"].text + ":";
        for (const Value& action : entry["actions"].items) {
            const Value& value = action[field];
            words += " " + (value.type == Value::Type::String ? value.text
                            : value.IsNull()                  ? std::string("null")
                            : value.boolean                   ? "yes"
                                                              : "no");
        }
    }
    return words;
}
// The problems' codes in order, an error's with "!": "unreadable! folder-not-protected ".
inline std::string Codes(const Value& report) {
    std::string list;
    for (const Value& p : report["problems"].items) {
        list += p["code"].text + (p["severity"].text == "error" ? "! " : " ");
    }
    return list;
}
}  // namespace json
