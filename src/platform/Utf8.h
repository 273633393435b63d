#pragma once
// Small UTF-8 and XML character rules shared by the parsers' adapters and the catalogue code.

#include <cstdint>
#include <string>
#include <vector>

namespace utf8 {

// Whether XML 1.0 allows the character at all.
inline bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Appends the UTF-8 form of a code point (at most U+10FFFF).
inline void Append(std::string& out, uint32_t c) {
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

// UTF-8 text, NULs and all, as UTF-16 little-endian bytes: text as the registry stores it.
inline std::vector<uint8_t> ToUtf16Bytes(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes;
    const auto unit = [&](uint32_t u) {
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (size_t i = 0; i < size;) {
        const uint8_t lead = data[i];
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length && i + k < size; ++k) c = (c << 6) | (data[i + k] & 0x3F);
        i += length;
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return bytes;
}

// UTF-16 little-endian bytes as UTF-8; an unpaired surrogate becomes U+FFFD, an odd last byte
// is left out.
inline std::string FromUtf16Bytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = bytes[i] | (bytes[i + 1] << 8u);
        const bool paired =
            c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && (bytes[i + 3] & 0xFC) == 0xDC;
        if (paired) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((bytes[i + 2] | (bytes[i + 3] << 8u)) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        Append(text, c);
    }
    return text;
}

}  // namespace utf8
