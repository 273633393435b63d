// Reading regedit files: the text decoded, logical lines joined, each line a key or a value.
#include <algorithm>
#include <array>
#include <optional>

#include "fleet/RegFile.h"
#include "platform/Registry.h"
#include "platform/Utf8.h"

namespace fleet {
namespace {

// windows-1252's characters at 0x80 to 0x9F; the rest of the page is Latin-1. 0: undefined.
constexpr std::array<uint16_t, 32> k1252{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t From1252(uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const uint16_t c = k1252[byte - 0x80];
    return c == 0 ? byte : c;
}

struct Text {
    std::string utf8;
    bool ansi = false;  // hex data of text types holds one byte per character
};

// Where UTF-8 text first holds a byte sequence that is no character, or npos.
size_t FirstInvalidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const size_t length = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead < 0xE0 ? 2
                              : lead >= 0xE0 && lead < 0xF0 ? 3
                              : lead >= 0xF0 && lead < 0xF5 ? 4
                                                            : 0;
        if (length == 0 || i + length > text.size()) return i;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80) return i;
        }
        i += length;
    }
    return std::string::npos;
}

Text Decode(const std::string& bytes) {
    if (bytes.rfind("\xFF\xFE", 0) == 0) {
        if (bytes.size() % 2 != 0) throw FormatError(1, "UTF-16 text of an odd number of bytes");
        return {utf8::FromUtf16Bytes({bytes.begin() + 2, bytes.end()}), false};
    }
    if (bytes.rfind("\xFE\xFF", 0) == 0) {
        throw FormatError(1, "UTF-16 big-endian text: regedit reads UTF-16 little-endian only");
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        const size_t bad = FirstInvalidUtf8(bytes);
        if (bad != std::string::npos) {
            const auto line =
                std::count(bytes.begin(), bytes.begin() + static_cast<long>(bad), '\n');
            throw FormatError(static_cast<size_t>(line) + 1,
                              "UTF-8 text with bytes that are no character");
        }
        return {bytes.substr(3), true};
    }
    Text text{{}, true};
    for (const char c : bytes) utf8::Append(text.utf8, From1252(static_cast<uint8_t>(c)));
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(const std::string& text, size_t at, const std::string& word) {
    return text.size() >= at + word.size() && SameName(text.substr(at, word.size()), word);
}

// One line of a value, read from left to right.
class ValueReader {
public:
    ValueReader(const std::string& line, size_t number, bool ansi)
        : line_(line), number_(number), ansi_(ansi) {}

    FleetValue Read() {
        FleetValue value;
        value.at = number_;
        if (line_[0] == '@') {
            at_ = 1;
        } else {
            value.name = QuotedText();
        }
        SkipBlanks();
        Expect('=', "an = after the value's name");
        SkipBlanks();
        Data(value);
        return value;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw FormatError(number_, what); }
    void SkipBlanks() {
        while (at_ < line_.size() && (line_[at_] == ' ' || line_[at_] == '\t')) ++at_;
    }
    void Expect(char c, const std::string& what) {
        if (at_ >= line_.size() || line_[at_] != c) Fail("expected " + what);
        ++at_;
    }
    void End() {
        SkipBlanks();
        if (at_ != line_.size()) Fail("unexpected text after the value: " + line_.substr(at_));
    }

    std::string QuotedText() {
        Expect('"', "a quoted name or @");
        std::string text;
        for (; at_ < line_.size() && line_[at_] != '"'; ++at_) {
            if (line_[at_] == '\\' && at_ + 1 < line_.size()) ++at_;
            text += line_[at_];
        }
        Expect('"', "the closing quote");
        return text;
    }

    void Data(FleetValue& value) {
        if (at_ < line_.size() && line_[at_] == '-') {
            ++at_;
            End();
            value.op = FleetValue::Op::DeleteValue;
        } else if (at_ < line_.size() && line_[at_] == '"') {
            value.type = reg::kSz;
            value.data = Utf16Z(QuotedText());
            End();
        } else if (StartsWithNoCase(line_, at_, "dword:")) {
            at_ += 6;
            Dword(value);
        } else if (StartsWithNoCase(line_, at_, "hex")) {
            at_ += 3;
            HexValue(value);
        } else {
            Fail("no value data: a quoted string, dword:, hex: or hex(N): was expected");
        }
    }

    void Dword(FleetValue& value) {
        const std::string digits = Trim(line_.substr(at_));
        uint32_t number = 0;
        if (digits.empty() || digits.size() > 8) Fail("dword: takes 1 to 8 hexadecimal digits");
        for (const char c : digits) {
            if (Hex(c) < 0) Fail("dword: takes 1 to 8 hexadecimal digits");
            number = number * 16 + static_cast<uint32_t>(Hex(c));
        }
        value.type = reg::kDword;
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    }

    void HexValue(FleetValue& value) {
        value.type = reg::kBinary;
        if (at_ < line_.size() && line_[at_] == '(') {
            const size_t close = line_.find(')', at_);
            const std::string number =
                close == std::string::npos ? std::string() : line_.substr(at_ + 1, close - at_ - 1);
            if (number.empty() || number.size() > 8) Fail("hex( takes a type number and )");
            value.type = 0;
            for (const char c : number) {
                if (Hex(c) < 0) Fail("hex( takes a hexadecimal type number");
                value.type = value.type * 16 + static_cast<uint32_t>(Hex(c));
            }
            at_ = close + 1;
        }
        Expect(':', "a : after hex");
        value.data = Bytes(line_.substr(at_));
        if (ansi_ && reg::IsTextType(value.type)) {
            std::vector<uint8_t> wide;
            for (const uint8_t byte : value.data) {
                const uint32_t c = From1252(byte);
                wide.insert(wide.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
            }
            value.data = std::move(wide);
        }
    }

    std::vector<uint8_t> Bytes(const std::string& list) const {
        std::vector<uint8_t> bytes;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = std::min(list.find(',', start), list.size());
            const std::string pair = Trim(list.substr(start, comma - start));
            start = comma + 1;
            if (pair.empty() && comma == list.size()) break;  // nothing, or after a last comma
            if (pair.empty() || pair.size() > 2 || Hex(pair[0]) < 0 || Hex(pair.back()) < 0) {
                Fail("hexadecimal bytes separated by commas were expected, not \"" + pair + "\"");
            }
            bytes.push_back(static_cast<uint8_t>(
                pair.size() == 1 ? Hex(pair[0]) : Hex(pair[0]) * 16 + Hex(pair[1])));
        }
        return bytes;
    }

    const std::string& line_;
    size_t number_;
    bool ansi_;
    size_t at_ = 0;
};

std::string KeyOf(const std::string& line, size_t number, bool& deleted) {
    const size_t close = line.rfind(']');
    if (close == std::string::npos) throw FormatError(number, "the key has no closing bracket");
    deleted = line.size() > 1 && line[1] == '-';
    std::string key = line.substr(deleted ? 2 : 1, close - (deleted ? 2 : 1));
    const std::string root = key.substr(0, key.find('\\'));
    if (reg::RootByName(root) == 0) {
        throw FormatError(number, "\"" + root + "\" is no registry root key name");
    }
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

}  // namespace

std::vector<FleetValue> ReadRegFile(const std::string& bytes) {
    const Text text = Decode(bytes);
    const std::vector<std::string> lines = Lines(text.utf8);
    const std::string header = Trim(lines[0]);
    if (header != "Windows Registry Editor Version 5.00" && header != "REGEDIT4") {
        throw FormatError(1,
                          "no regedit file: the first line is neither \"Windows Registry "
                          "Editor Version 5.00\" nor \"REGEDIT4\"");
    }
    std::vector<FleetValue> values;
    std::optional<std::string> key;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t number = i + 1;
        std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            bool deleted = false;
            key = KeyOf(line, number, deleted);
            if (!deleted) continue;
            values.push_back({FleetValue::Op::DeleteKey, *key, {}, 0, {}, number});
            key.reset();
            continue;
        }
        // A value's hexadecimal data goes on after a backslash at the line's end.
        while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
            line = line.substr(0, line.size() - 1) + Trim(lines[++i]);
        }
        if (line.empty()) continue;
        if (!key) throw FormatError(number, "a value outside any key");
        FleetValue value = ValueReader(line, number, text.ansi).Read();
        value.key = *key;
        values.push_back(std::move(value));
    }
    return values;
}

}  // namespace fleet
