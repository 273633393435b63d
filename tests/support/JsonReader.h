#pragma once
// A strict reader of one JSON document, so that tests check the programs' JSON as a script would
// read it: parsed, not searched for text.

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace json {

struct Value {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Value> items;
    std::map<std::string, Value> members;

    // A member or element; a missing one reads as null.
    const Value& operator[](const std::string& name) const {
        static const Value none;
        const auto found = members.find(name);
        return found == members.end() ? none : found->second;
    }
    const Value& operator[](size_t index) const {
        static const Value none;
        return index < items.size() ? items[index] : none;
    }
    bool IsNull() const { return type == Type::Null; }
    int64_t Int() const { return static_cast<int64_t>(number); }
};

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    Value Document() {
        Value value = Parse();
        Space();
        if (at_ != s_.size()) Fail("text after the document");
        return value;
    }

private:
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
        if (at_ + 4 > s_.size()) Fail("short \\u escape");
        const std::string digits(s_.substr(at_, 4));
        const auto code = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
        at_ += 4;
        return code;
    }
    static void Utf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
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
                    code = 0x10000 + ((code - 0xD800) << 10) + (Hex4() - 0xDC00);
                }
                Utf8(out, code);
            } else {
                Fail("unknown escape");
            }
        }
    }
    Value Parse() {
        Space();
        Value value;
        if (at_ >= s_.size()) Fail("no value");
        const char c = s_[at_];
        if (c == '{') {
            value.type = Value::Type::Object;
            ++at_;
            Space();
            if (Take("}")) return value;
            do {
                const std::string name = String();
                Expect(':');
                value.members[name] = Parse();
                Space();
            } while (Take(","));
            Expect('}');
        } else if (c == '[') {
            value.type = Value::Type::Array;
            ++at_;
            Space();
            if (Take("]")) return value;
            do {
                value.items.push_back(Parse());
                Space();
            } while (Take(","));
            Expect(']');
        } else if (c == '"') {
            value.type = Value::Type::String;
            value.text = String();
        } else if (Take("true")) {
            value.type = Value::Type::Bool;
            value.boolean = true;
        } else if (Take("false")) {
            value.type = Value::Type::Bool;
        } else if (Take("null")) {
        } else {
            if (c != '-' && (c < '0' || c > '9')) Fail("not a value");
            size_t used = 0;
            value.type = Value::Type::Number;
            try {
                value.number = std::stod(std::string(s_.substr(at_, 32)), &used);
            } catch (const std::exception&) {
                Fail("not a value");
            }
            at_ += used;
        }
        return value;
    }

    std::string_view s_;
    size_t at_ = 0;
};

inline Value Parse(std::string_view text) { return Reader(text).Document(); }

}  // namespace json
