#pragma once
// Bytes as text: upper-case hexadecimal pairs, the form of the catalogue's BINARY values.

#include <cstdint>
#include <string>
#include <vector>

inline std::string HexText(const std::vector<uint8_t>& bytes, const char* separator = "") {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text += separator;
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}
