#include "engine/regRunner.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <list>
#include <optional>

#include "catalogue/Codes.h"
#include "engine/RegistryTap.h"
#include "engine/Reports.h"
#include "registry/cRegistry.h"

namespace {

using codes::kKeyTypeBinary;
using codes::kKeyTypeDword;
using codes::kKeyTypeExpandString;
using codes::kKeyTypeMultiString;
using codes::kKeyTypeQword;
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

uint64_t regRunner::ToQword(const std::string& text) {
    const std::string number = TrimBlanks(text);
    if (number.size() >= 2 && number[0] == '&' && (number[1] == 'H' || number[1] == 'h')) {
        if (number.size() == 2 || number.size() > 18) Raise(kErrOverflow, "Overflow");
        uint64_t value = 0;
        for (size_t i = 2; i < number.size(); ++i) {
            const int digit = HexDigit(number[i]);
            if (digit < 0) Raise(kErrTypeMismatch, "Type mismatch");
            value = value * 16 + static_cast<uint64_t>(digit);
        }
        return value;
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
    if (number.empty() || parsed.ptr != end) Raise(kErrTypeMismatch, "Type mismatch");
    if (parsed.ec != std::errc()) Raise(kErrOverflow, "Overflow");
    return value;
}

std::string regRunner::MultiStringData(const std::string& text) {
    std::string data;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        data += text[i] == '\n' ? '\0' : text[i];
    }
    return data;
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

// One place the list is written to: a registry object of its own for the whole list, so that
// values in a row under one key are written through one open key, and, when the run is watched,
// the tap that notes what each write did.
struct regRunner::Destination {
    Destination(Registry& registry, GlobalUtils& utils, bool watched, std::string forUser)
        : user(std::move(forUser)),
          tap(watched ? std::optional<RegistryTap>(std::in_place, registry) : std::nullopt),
          values(tap ? static_cast<Registry&>(*tap) : registry, utils), held(values) {}

    std::string user;
    std::optional<RegistryTap> tap;
    cRegistry values;
    cRegistry::HeldWrites held;
};

void regRunner::Write(cRegistry& registry, const RegistryItem& item) {
    registry.ClassKey(ParseClassKey(item.Key));
    registry.SectionKey(ParseSectionKey(item.Key));
    if (item.KeyType == kKeyTypeString) {
        registry.SetValueByName(item.ValueName, reg::kSz, Variant(item.Value));
    } else if (item.KeyType == kKeyTypeExpandString) {
        registry.SetExactValueByName(item.ValueName, reg::kExpandSz, Variant(item.Value));
    } else if (item.KeyType == kKeyTypeMultiString) {
        registry.SetExactValueByName(item.ValueName, reg::kMultiSz,
                                     Variant(MultiStringData(item.Value)));
    } else if (item.KeyType == kKeyTypeQword) {
        const uint64_t bits = ToQword(item.Value);
        std::vector<uint8_t> bytes(8);
        for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
        registry.SetExactValueByName(item.ValueName, reg::kQword, Variant(bytes));
    } else if (item.KeyType == kKeyTypeDword) {
        registry.SetValueByName(item.ValueName, reg::kDword, Variant(ToDword(item.Value)));
    } else if (item.KeyType == kKeyTypeBinary) {
        std::string digits;
        for (char c : item.Value) {
            if (c != ',') digits += c;
        }
        registry.SetValueByName(item.ValueName, reg::kBinary,
                                Variant(HexStringToByteArray(digits)));
    }
}

bool regRunner::WriteTo(Destination& to, const RegistryItem& item, size_t index) {
    if (to.tap) to.tap->Begin();
    ActionRecord record = reports::For(item, index, ActionRecord::Outcome::Done);
    bool written = true;
    try {
        Write(to.values, item);
    } catch (...) {
        // Registry failures are not logged: the log holds failed commands and queries only, and
        // the scripts that read it after -RUN rely on that.
        record.outcome = ActionRecord::Outcome::Failed;
        record.error = reports::CurrentError("regRunner");
        written = false;
    }
    if (observer_) {
        if (to.tap) record.change = to.tap->Take();
        record.user = to.user;
        observer_->Reported(record);
    }
    return written;
}

void regRunner::Run(const std::vector<RegistryItem>& regItems) {
    if (regItems.empty()) return;
    // Made at the list's first action: the registry itself, then one destination per user.
    GlobalUtils utils(platform_.env);
    const bool watched = observer_ != nullptr && observer_->WatchesChanges();
    std::list<Destination> destinations;
    destinations.emplace_back(platform_.registry, utils, watched, "");
    for (const UserTarget& target : platform_.users) {
        destinations.emplace_back(*target.registry, utils, watched, target.user);
    }
    const auto destinationsOf = [&](const RegistryItem& item) {
        std::vector<Destination*> of;
        const bool forUsers = !platform_.users.empty() && !item.Key.empty() &&
                              ParseClassKey(item.Key) == reg::kCurrentUser;
        for (Destination& to : destinations) {
            if (forUsers != to.user.empty()) of.push_back(&to);
        }
        return of;
    };

    for (size_t index = 0; index < regItems.size(); ++index) {
        bool failed = false;
        for (Destination* to : destinationsOf(regItems[index])) {
            failed = !WriteTo(*to, regItems[index], index) || failed;
        }
        if (!failed) continue;
        // The run goes on with the commands; the rest of this list is left undone.
        for (size_t rest = index + 1; observer_ && rest < regItems.size(); ++rest) {
            for (const Destination* to : destinationsOf(regItems[rest])) {
                ActionRecord record =
                    reports::For(regItems[rest], rest, ActionRecord::Outcome::Skipped);
                record.user = to->user;
                observer_->Reported(record);
            }
        }
        return;
    }
}
