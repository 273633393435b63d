#pragma once
// Writes one JSON document, indented, as UTF-8 text. Members and elements are written in the
// order they are given; the writer puts the commas and line breaks.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

class JsonWriter {
public:
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

    std::string out_;
    std::vector<bool> hasMembers_;  // one per open object or array
    bool afterKey_ = false;
};

// The text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace cli
