#pragma once
// JSON as the console program writes and reads it: UTF-8 text, one document at a time.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace json {

// Writes one JSON document, indented or on one line. Members and elements are written in the
// order they are given; the writer puts the commas and line breaks.
class JsonWriter {
public:
    explicit JsonWriter(bool oneLine = false) : oneLine_(oneLine) {}

    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    // The name of the next member of the object being written.
    JsonWriter& Key(std::string_view name);

    JsonWriter& String(std::string_view text);
    JsonWriter& Number(int64_t number);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // A number, or null when there is none.
    JsonWriter& Number(std::optional<int64_t> number) {
        return number ? Number(*number) : Null();
    }

    // The document, ended by a line break.
    std::string Text() const { return out_ + "\n"; }

private:
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    void BeforeValue();
    void NewLine();

    bool oneLine_;
    std::string out_;
    std::vector<bool> hasMembers_;  // one per open object or array
    bool afterKey_ = false;
};

// One JSON value as read.
struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // A member or element; a missing one reads as null.
    const JsonValue& operator[](const std::string& name) const;
    const JsonValue& operator[](size_t index) const;
    bool IsNull() const { return type == Type::Null; }
    int64_t Int() const { return static_cast<int64_t>(number); }
};

// Exactly one document, strictly: throws std::runtime_error, saying where, on anything else.
JsonValue ParseJson(std::string_view text);

// The text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace json
