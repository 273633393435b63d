#include "json/Json.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "platform/Utf8.h"

namespace json {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += c;  // UTF-8 passes as it is
                }
        }
    }
    return out + "\"";
}

void JsonWriter::NewLine() {
    if (oneLine_) return;
    out_ += '\n';
    out_.append(2 * hasMembers_.size(), ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (hasMembers_.empty()) return;
    if (hasMembers_.back()) out_ += ',';
    hasMembers_.back() = true;
    NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    out_ += JsonString(name) + (oneLine_ ? ":" : ": ");
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    out_ += bracket;
    hasMembers_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    const bool any = hasMembers_.back();
    hasMembers_.pop_back();
    if (any) NewLine();
    out_ += bracket;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    out_ += JsonString(text);
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t number) {
    BeforeValue();
    out_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}

}  // namespace json

namespace json {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    JsonValue Document() {
        JsonValue value = Parse(0);
        Space();
        if (at_ != s_.size()) Fail("text after the document");
        return value;
    }

private:
    // Deeper than any document of ours; a bound keeps hostile input off the stack.
    static constexpr int kMaxDepth = 64;

    [[noreturn]] void Fail(const std::string& why) {
        throw std::runtime_error("JSON: " + why + " at offset " + std::to_string(at_));
    }
    void Space() {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' ||
                                   s_[at_] == '\n')) {
            ++at_;
        }
    }
    bool Take(std::string_view word) {
        if (s_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    void Expect(char c) {
        Space();
        if (at_ >= s_.size() || s_[at_] != c) Fail(std::string("expected ") + c);
        ++at_;
    }
    uint32_t Hex4() {
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char c = at_ < s_.size() ? s_[at_] : '\0';
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) Fail("bad \\u escape");
            code = code * 16 + static_cast<uint32_t>(digit);
        }
        return code;
    }
    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (at_ >= s_.size()) Fail("unterminated string");
            const char c = s_[at_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) Fail("unterminated escape");
            const char e = s_[at_++];
            const std::string_view simple = "\"\\/bfnrt";
            if (const size_t k = simple.find(e); k != std::string_view::npos) {
                out += "\"\\/\b\f\n\r\t"[k];
            } else if (e == 'u') {
                uint32_t code = Hex4();
                if (code >= 0xD800 && code < 0xDC00 && Take("\\u")) {
                    const uint32_t low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF) Fail("bad surrogate pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8::Append(out, code);
            } else {
                Fail("unknown escape");
            }
        }
    }
    JsonValue Parse(int depth) {
        if (depth > kMaxDepth) Fail("too deep");
        Space();
        JsonValue value;
        if (at_ >= s_.size()) Fail("no value");
        const char c = s_[at_];
        if (c == '{') {
            value.type = JsonValue::Type::Object;
            ++at_;
            Space();
            if (Take("}")) return value;
            do {
                Space();
                const std::string name = String();
                Expect(':');
                value.members[name] = Parse(depth + 1);
                Space();
            } while (Take(","));
            Expect('}');
        } else if (c == '[') {
            value.type = JsonValue::Type::Array;
            ++at_;
            Space();
            if (Take("]")) return value;
            do {
                value.items.push_back(Parse(depth + 1));
                Space();
            } while (Take(","));
            Expect(']');
        } else if (c == '"') {
            value.type = JsonValue::Type::String;
            value.text = String();
        } else if (Take("true")) {
            value.type = JsonValue::Type::Bool;
            value.boolean = true;
        } else if (Take("false")) {
            value.type = JsonValue::Type::Bool;
        } else if (!Take("null")) {
            value.type = JsonValue::Type::Number;
            value.number = Number();
        }
        return value;
    }
    // -? digits [. digits] [e [sign] digits], as JSON writes numbers.
    double Number() {
        const size_t start = at_;
        auto digits = [&] {
            const size_t from = at_;
            while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
            if (at_ == from) Fail("not a value");
        };
        Take("-");
        digits();
        if (Take(".")) digits();
        if (Take("e") || Take("E")) {
            if (!Take("+")) Take("-");
            digits();
        }
        double number = 0;
        if (std::from_chars(s_.data() + start, s_.data() + at_, number).ec != std::errc()) {
            Fail("number out of range");
        }
        return number;
    }

    std::string_view s_;
    size_t at_ = 0;
};

const JsonValue kNone;

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
    const auto found = members.find(name);
    return found == members.end() ? kNone : found->second;
}

const JsonValue& JsonValue::operator[](size_t index) const {
    return index < items.size() ? items[index] : kNone;
}

JsonValue ParseJson(std::string_view text) { return Reader(text).Document(); }

}  // namespace json
