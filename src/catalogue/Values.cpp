#include "catalogue/Values.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "catalogue/Codes.h"
#include "platform/Registry.h"

namespace catalogue {
namespace {

std::vector<std::string> SplitAtBackslash(const std::string& text) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;  // nothing to split: no first piece at all
    size_t start = 0;
    for (;;) {
        const size_t slash = text.find('\\', start);
        if (slash == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, slash - start));
        start = slash + 1;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    // Lower-case digits are the same digits: reading them by character code alone would give
    // wrong bytes without a word.
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// "&H" then 1 or more hex digits, read as a 32-bit two's-complement pattern.
std::optional<Converted<int32_t>> ParseHexPattern(const std::string& text) {
    if (text.size() < 3 || text[0] != '&' || (text[1] != 'H' && text[1] != 'h')) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return Converted<int32_t>{0, ValueFault::TypeMismatch};
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return Converted<int32_t>{0, ValueFault::Overflow};
    }
    return Converted<int32_t>{static_cast<int32_t>(static_cast<uint32_t>(value))};
}

// [sign] digits [. digits] [e [sign] digits], at least one digit before the exponent.
bool IsDecimalNumber(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

}  // namespace

const char* FaultText(ValueFault fault) {
    switch (fault) {
        case ValueFault::None: return "";
        case ValueFault::TypeMismatch: return "Type mismatch";
        case ValueFault::Overflow: return "Overflow";
        case ValueFault::InvalidCall: return "Invalid procedure call or argument";
        case ValueFault::OutOfRange: return "Subscript out of range";
    }
    return "";
}

Converted<int32_t> DwordOf(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (const auto pattern = ParseHexPattern(number)) return *pattern;
    if (!IsDecimalNumber(number)) return {0, ValueFault::TypeMismatch};
    // Whole numbers exactly; a fraction or exponent is rounded to the nearest whole number,
    // halves to the even one: stored catalogues were written for readers that round so.
    const char* begin = number.data() + (number[0] == '+' ? 1 : 0);
    const char* end = number.data() + number.size();
    int64_t whole = 0;
    const auto exact = std::from_chars(begin, end, whole);
    if (exact.ec == std::errc() && exact.ptr == end) {
        if (whole < INT32_MIN || whole > INT32_MAX) return {0, ValueFault::Overflow};
        return {static_cast<int32_t>(whole)};
    }
    double value = 0;
    const auto parsed = std::from_chars(begin, end, value);
    if (parsed.ptr != end) return {0, ValueFault::TypeMismatch};
    if (parsed.ec != std::errc()) return {0, ValueFault::Overflow};
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return {0, ValueFault::Overflow};
    return {static_cast<int32_t>(rounded)};
}

Converted<uint64_t> QwordOf(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (number.size() >= 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        if (number.size() == 2 || number.size() > 18) return {0, ValueFault::Overflow};
        uint64_t value = 0;
        for (size_t i = 2; i < number.size(); ++i) {
            const int digit = HexDigit(number[i]);
            if (digit < 0) return {0, ValueFault::TypeMismatch};
            value = value * 16 + static_cast<uint64_t>(digit);
        }
        return {value};
    }
    const char* begin = number.data() + (number.starts_with('+') ? 1 : 0);
    const char* end = number.data() + number.size();
    uint64_t value = 0;
    std::from_chars_result parsed{};
    if (number.starts_with('-')) {
        int64_t negative = 0;
        parsed = std::from_chars(begin, end, negative);
        value = static_cast<uint64_t>(negative);
    } else {
        parsed = std::from_chars(begin, end, value);
    }
    if (number.empty() || parsed.ptr != end) return {0, ValueFault::TypeMismatch};
    if (parsed.ec != std::errc()) return {0, ValueFault::Overflow};
    return {value};
}

bool IsRoundedDword(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (number.size() >= 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        return false;  // a bit pattern: its hex digits may well hold an E
    }
    return IsDecimalNumber(number) && number.find_first_of(".eE") != std::string::npos;
}

Converted<std::vector<uint8_t>> BytesOf(const std::string& hex) {
    if (hex.size() % 2 != 0) return {{}, ValueFault::InvalidCall};
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (size_t k = 0; k < bytes.size(); ++k) {
        const int high = HexDigit(hex[2 * k]);
        const int low = HexDigit(hex[2 * k + 1]);
        if (high < 0 || low < 0) return {{}, ValueFault::TypeMismatch};
        bytes[k] = static_cast<uint8_t>(high * 16 + low);
    }
    return {std::move(bytes)};
}

Converted<int32_t> RootOf(const std::string& key) {
    const std::vector<std::string> pieces = SplitAtBackslash(key);
    if (pieces.empty()) return {0, ValueFault::OutOfRange};
    const std::string root = codes::UpperAscii(pieces.front());
    if (root == "HKEY_LOCAL_MACHINE") return {reg::kLocalMachine};
    if (root == "HKEY_CLASSES_ROOT") return {reg::kClassesRoot};
    if (root == "HKEY_CURRENT_USER") return {reg::kCurrentUser};
    if (root == "HKEY_USERS") return {reg::kUsers};
    return {0};
}

std::string SubKeyOf(const std::string& key) {
    const std::vector<std::string> pieces = SplitAtBackslash(key);
    std::string path;
    for (size_t i = 1; i < pieces.size(); ++i) path += pieces[i] + "\\";
    return path;
}

}  // namespace catalogue
