#pragma once
// The tagged value that crosses cRegistry's interface.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

using Variant = std::variant<std::monostate, int16_t, int32_t, std::string, std::vector<uint8_t>>;

inline bool IsEmpty(const Variant& v) { return std::holds_alternative<std::monostate>(v); }

// "" for empty, decimal for integers, the text itself; a byte array gives its bytes as text.
std::string VariantToText(const Variant& v);
