#pragma once
// A catalogue value as the registry receives it: DWORD text as 32 bits, BINARY text as bytes, a
// Key as its root and the path below it. Nothing here throws: a value that does not convert
// says why (ValueFault), and the runner, the checks and the policy check each decide what that
// means to them.

#include <cstdint>
#include <string>
#include <vector>

namespace catalogue {

// What kept a value from converting, in the words of the readers the catalogues were written for.
enum class ValueFault { None, TypeMismatch, Overflow, InvalidCall, OutOfRange };

// "Type mismatch", "Overflow", "Invalid procedure call or argument", "Subscript out of range".
const char* FaultText(ValueFault fault);

template <typename Value>
struct Converted {
    Value value{};
    ValueFault fault = ValueFault::None;
    bool Ok() const { return fault == ValueFault::None; }
};

// A DWORD value text as the 32 bits the registry receives: decimal (a fraction or exponent
// rounded to the nearest whole number, halves to the even one) or "&H" and a bit pattern.
[[nodiscard]] Converted<int32_t> DwordOf(const std::string& text);
// A QWORD value text as the 64 bits the registry receives: decimal (a negative one as its
// two's complement) or "&H" and up to 16 hex digits.
[[nodiscard]] Converted<uint64_t> QwordOf(const std::string& text);
// Whether DwordOf takes the text as a fraction or with an exponent ("2.5", "1e3"), so that the
// number written is not the digits the text shows.
bool IsRoundedDword(const std::string& text);
// Two hexadecimal digits per byte, either case, nothing between them.
[[nodiscard]] Converted<std::vector<uint8_t>> BytesOf(const std::string& hex);
// The root handle that the first piece of Key names, 0 when none; nothing for an empty Key.
[[nodiscard]] Converted<int32_t> RootOf(const std::string& key);
// Every piece after the first, each followed by one backslash.
std::string SubKeyOf(const std::string& key);

}  // namespace catalogue
