#pragma once
// JSON as the programs write and read it: UTF-8 text, one document at a time, on nlohmann-json.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace json {

// Writes one JSON document, indented or on one line. Members and elements are written in the
// order they are given. Text that is not UTF-8 is written with U+FFFD in place of what is not.
class JsonWriter {
public:
    explicit JsonWriter(bool oneLine = false);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    JsonWriter& BeginObject();
    JsonWriter& EndObject() { return Close(); }
    JsonWriter& BeginArray();
    JsonWriter& EndArray() { return Close(); }
    // The name of the next member of the object being written.
    JsonWriter& Key(std::string_view name);

    JsonWriter& String(std::string_view text);
    JsonWriter& Number(int64_t number);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // A text, or null when there is none.
    JsonWriter& StringOrNull(const std::optional<std::string>& text) {
        return text ? String(*text) : Null();
    }
    // A number, or null when there is none.
    JsonWriter& Number(std::optional<int64_t> number) { return number ? Number(*number) : Null(); }

    // The document, ended by a line break.
    std::string Text() const;

private:
    struct Tree;
    JsonWriter& Close();

    bool oneLine_;
    std::unique_ptr<Tree> tree_;
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

}  // namespace json
