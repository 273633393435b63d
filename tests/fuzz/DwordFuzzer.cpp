// The DWORD value text conversion against a second, plain reading of its rules: decimal whole
// numbers in the signed 32-bit range, "&H" with hexadecimal digits as a 32-bit pattern, decimal
// fractions and exponents rounded to the nearest whole number (halves to even), blanks and tabs
// around the number allowed; everything else fails with an ErrorRecord and nothing else. A
// number too small to tell from zero may give 0 or fail.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    return text.substr(first, last - first);
}

// Hexadecimal after "&H": at most eight digits that matter, leading zeros aside.
std::optional<int32_t> ExpectedHex(const std::string& digits) {
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (!IsHexDigit(c)) return std::nullopt;
    }
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    if (digits.size() - first > 8) return std::nullopt;
    const auto pattern = static_cast<uint32_t>(std::strtoul(digits.c_str() + first, nullptr, 16));
    return static_cast<int32_t>(pattern);
}

// [sign] (digits [. digits] | . digits) [e [sign] digits]
bool IsDecimalForm(const std::string& t, bool& whole) {
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t mantissa = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++mantissa;
    whole = true;
    if (i < t.size() && t[i] == '.') {
        whole = false;
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i, ++mantissa;
    }
    if (mantissa == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        whole = false;
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < t.size() && IsDigit(t[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == t.size();
}

// Set when the text is a number too small for a double: 0 and failure are both right then.
bool g_underflow = false;

std::optional<int32_t> ExpectedDecimal(const std::string& t, bool whole) {
    if (whole) {
        const bool negative = t[0] == '-';
        const size_t start = (t[0] == '-' || t[0] == '+') ? 1 : 0;
        const size_t first = t.find_first_not_of('0', start);
        if (first == std::string::npos) return 0;
        if (t.size() - first > 10) return std::nullopt;
        const int64_t magnitude = std::strtoll(t.c_str() + first, nullptr, 10);
        const int64_t value = negative ? -magnitude : magnitude;
        if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
        return static_cast<int32_t>(value);
    }
    errno = 0;
    const double value = std::strtod(t.c_str(), nullptr);
    if (std::isinf(value)) return std::nullopt;
    if (errno == ERANGE && std::fabs(value) < 1.0) {
        g_underflow = true;
        return 0;
    }
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::optional<int32_t> Expected(const std::string& text) {
    const std::string t = Trimmed(text);
    if (t.size() >= 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
        return ExpectedHex(t.substr(2));
    }
    bool whole = true;
    if (!IsDecimalForm(t, whole)) return std::nullopt;
    return ExpectedDecimal(t, whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    g_underflow = false;
    const std::optional<int32_t> expected = Expected(text);
    std::optional<int32_t> actual;
    try {
        actual = regRunner::ToDword(text);
    } catch (const ErrorRecord&) {
        // The one way a conversion may fail.
    }
    if (g_underflow && !actual) return 0;
    FUZZ_CHECK(actual.has_value() == expected.has_value(),
               fuzzcheck::Shown(text) + (actual ? " converted to " + std::to_string(*actual)
                                                : std::string(" failed")));
    if (actual) {
        FUZZ_CHECK(*actual == *expected, fuzzcheck::Shown(text) + " gave " +
                                             std::to_string(*actual) + ", not " +
                                             std::to_string(*expected));
    }
    return 0;
}
