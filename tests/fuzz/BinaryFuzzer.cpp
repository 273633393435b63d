// HexStringToByteArray, and the comma removal in front of it, against a plain reading of the
// rule: two hexadecimal digits per byte (either case), high digit first; an odd count or any
// other character fails with an ErrorRecord and nothing else.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> Expected(const std::string& digits) {
    if (digits.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int high = DigitValue(digits[i]);
        const int low = DigitValue(digits[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::optional<std::vector<uint8_t>> Actual(const std::string& digits) {
    try {
        return regRunner::HexStringToByteArray(digits);
    } catch (const ErrorRecord&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::optional<std::vector<uint8_t>> actual = Actual(text);
    const std::optional<std::vector<uint8_t>> expected = Expected(text);
    FUZZ_CHECK(actual.has_value() == expected.has_value(),
               fuzzcheck::Shown(text) + (actual ? " converted" : " failed"));
    if (actual) FUZZ_CHECK(*actual == *expected, fuzzcheck::Shown(text) + " gave other bytes");

    // The catalogue may put commas between the bytes: without them the same bytes come out.
    std::string withoutCommas;
    for (char c : text) {
        if (c != ',') withoutCommas += c;
    }
    const std::optional<std::vector<uint8_t>> joined = Actual(withoutCommas);
    FUZZ_CHECK(joined == Expected(withoutCommas), fuzzcheck::Shown(withoutCommas));
    return 0;
}
