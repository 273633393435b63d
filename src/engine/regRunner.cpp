#include "engine/regRunner.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

#include "catalogue/Codes.h"
#include "engine/RegistryTap.h"
#include "engine/Reports.h"
#include "registry/cRegistry.h"

namespace {

using codes::kKeyTypeBinary;
using codes::kKeyTypeDword;
using codes::kKeyTypeString;

[[noreturn]] void Raise(int32_t number, const std::string& description) {
    throw ErrorRecord(number, "regRunner", description);
}

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
std::optional<int32_t> ParseHexPattern(const std::string& text) {
    if (text.size() < 3 || text[0] != '&' || (text[1] != 'H' && text[1] != 'h')) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) Raise(regRunner::kErrTypeMismatch, "Type mismatch");
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) Raise(regRunner::kErrOverflow, "Overflow");
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
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

int32_t regRunner::ToDword(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (const std::optional<int32_t> pattern = ParseHexPattern(number)) return *pattern;
    if (!IsDecimalNumber(number)) Raise(kErrTypeMismatch, "Type mismatch");

    // Whole numbers exactly; a fraction or exponent is rounded to the nearest whole number,
    // halves to the even one: stored catalogues were written for readers that round so.
    const char* begin = number.data() + (number[0] == '+' ? 1 : 0);
    const char* end = number.data() + number.size();
    int64_t whole = 0;
    const auto exact = std::from_chars(begin, end, whole);
    if (exact.ec == std::errc() && exact.ptr == end) {
        if (whole < INT32_MIN || whole > INT32_MAX) Raise(kErrOverflow, "Overflow");
        return static_cast<int32_t>(whole);
    }
    double value = 0;
    const auto parsed = std::from_chars(begin, end, value);
    if (parsed.ptr != end) Raise(kErrTypeMismatch, "Type mismatch");
    if (parsed.ec != std::errc()) Raise(kErrOverflow, "Overflow");
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) Raise(kErrOverflow, "Overflow");
    return static_cast<int32_t>(rounded);
}

bool regRunner::IsRoundedDword(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (number.size() >= 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        return false;  // a bit pattern: its hex digits may well hold an E
    }
    return IsDecimalNumber(number) && number.find_first_of(".eE") != std::string::npos;
}

std::vector<uint8_t> regRunner::HexStringToByteArray(const std::string& HexString) {
    if (HexString.size() % 2 != 0) {
        Raise(kErrInvalidCall, "Invalid procedure call or argument");
    }
    std::vector<uint8_t> bytes(HexString.size() / 2);
    for (size_t k = 0; k < bytes.size(); ++k) {
        const int high = HexDigit(HexString[2 * k]);
        const int low = HexDigit(HexString[2 * k + 1]);
        if (high < 0 || low < 0) Raise(kErrTypeMismatch, "Type mismatch");
        bytes[k] = static_cast<uint8_t>(high * 16 + low);
    }
    return bytes;
}

int32_t regRunner::ParseClassKey(const std::string& Key) {
    const std::vector<std::string> pieces = SplitAtBackslash(Key);
    if (pieces.empty()) Raise(kErrSubscript, "Subscript out of range");
    const std::string root = codes::UpperAscii(pieces.front());
    if (root == "HKEY_LOCAL_MACHINE") return reg::kLocalMachine;
    if (root == "HKEY_CLASSES_ROOT") return reg::kClassesRoot;
    if (root == "HKEY_CURRENT_USER") return reg::kCurrentUser;
    if (root == "HKEY_USERS") return reg::kUsers;
    return 0;
}

std::string regRunner::ParseSectionKey(const std::string& Key) {
    const std::vector<std::string> pieces = SplitAtBackslash(Key);
    std::string path;
    for (size_t i = 1; i < pieces.size(); ++i) path += pieces[i] + "\\";
    return path;
}

void regRunner::Run(const std::vector<RegistryItem>& regItems) {
    // Only a watched run looks at the values before it writes them.
    std::optional<RegistryTap> tap;
    if (observer_) tap.emplace(platform_.registry);
    size_t index = 0;
    try {
        // One registry object for the whole list, made at its first action; values in a row
        // under one key are written through one open key.
        std::unique_ptr<GlobalUtils> utils;
        std::unique_ptr<cRegistry> registry;
        std::optional<cRegistry::HeldWrites> held;
        for (; index < regItems.size(); ++index) {
            const RegistryItem& item = regItems[index];
            if (!registry) {
                utils = std::make_unique<GlobalUtils>(platform_.env);
                registry = std::make_unique<cRegistry>(
                    tap ? static_cast<Registry&>(*tap) : platform_.registry, *utils);
                held.emplace(*registry);
            }
            if (tap) tap->Begin();
            registry->ClassKey(ParseClassKey(item.Key));
            registry->SectionKey(ParseSectionKey(item.Key));
            if (item.KeyType == kKeyTypeString) {
                registry->SetValueByName(item.ValueName, reg::kSz, Variant(item.Value));
            } else if (item.KeyType == kKeyTypeDword) {
                registry->SetValueByName(item.ValueName, reg::kDword, Variant(ToDword(item.Value)));
            } else if (item.KeyType == kKeyTypeBinary) {
                std::string digits;
                for (char c : item.Value) {
                    if (c != ',') digits += c;
                }
                registry->SetValueByName(item.ValueName, reg::kBinary,
                                         Variant(HexStringToByteArray(digits)));
            }
            if (observer_) {
                ActionRecord record = reports::For(item, index, ActionRecord::Outcome::Done);
                record.change = tap->Take();
                observer_->Reported(record);
            }
        }
    } catch (...) {
        // Registry failures are not logged: the log holds failed commands and queries only, and
        // the scripts that read it after -RUN rely on that. The run goes on with the commands.
        if (observer_) {
            ActionRecord record =
                reports::For(regItems[index], index, ActionRecord::Outcome::Failed);
            record.error = reports::CurrentError("regRunner");
            record.change = tap->Take();
            observer_->Reported(record);
            reports::Skipped(*observer_, regItems, index + 1);
        }
    }
}
