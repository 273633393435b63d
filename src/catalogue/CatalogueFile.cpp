#include "catalogue/CatalogueFile.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "catalogue/Codes.h"
#include "platform/Utf8.h"

namespace catalogue {
namespace {

// Marks every character outside ASCII in the markup view; the prolog's syntax is all ASCII.
constexpr char kOther = '\x80';

FileCheck Refused(size_t offset, std::string reason) { return {false, offset, std::move(reason)}; }

constexpr const char* kNotUtf8 = "not UTF-8 (saved in another encoding?): save the file as UTF-8";

// Where a run of plain ASCII (space to DEL) that starts at i ends, eight bytes at a time: most
// of any catalogue is such runs between line ends.
size_t PlainRun(const std::string& bytes, size_t i) {
    constexpr uint64_t kHigh = 0x8080808080808080u;
    constexpr uint64_t kSpace = 0x2020202020202020u;
    for (uint64_t w; i + 8 <= bytes.size(); i += 8) {
        std::memcpy(&w, bytes.data() + i, 8);
        // A byte at 0x80 or above, or one below the space (the usual test for a byte below n).
        if (((w & kHigh) | ((w - kSpace) & ~w & kHigh)) != 0) break;
    }
    while (i < bytes.size() && bytes[i] >= 0x20 && static_cast<unsigned char>(bytes[i]) < 0x80) {
        ++i;
    }
    return i;
}

// A NUL is a damaged file far more often than a wrong character.
std::string ControlCharacter(uint32_t code) {
    if (code == 0) return "a NUL byte, which no XML file holds (is the file damaged, or no text?)";
    const char* hex = "0123456789ABCDEF";
    std::string text = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) text += hex[(code >> shift) & 15];
    return "a character XML does not allow (" + text + ")";
}

// Characters XML does not allow are refused here, for every parser alike: parsers differ in what
// they let through where they keep text as it is (CDATA, comments, instructions; NUL, which some
// take for the end of the file).
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
FileCheck CheckUtf8(const std::string& bytes, size_t start) {
    size_t i = start;
    while (i < bytes.size()) {
        i = PlainRun(bytes, i);
        if (i == bytes.size()) break;
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            if (!utf8::IsXmlChar(b0)) return Refused(i, ControlCharacter(b0));
            ++i;
            continue;
        }
        size_t length;
        uint32_t code;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            code = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            code = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            code = b0 & 0x07u;
        } else {
            return Refused(i, kNotUtf8);
        }
        if (i + length > bytes.size()) return Refused(i, kNotUtf8);
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return Refused(i, kNotUtf8);
            code = (code << 6) | (b & 0x3Fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return Refused(i, kNotUtf8);
        }
        if (!utf8::IsXmlChar(code)) return Refused(i, ControlCharacter(code));
        i += length;
    }
    return {};
}

// UTF-16 with every surrogate in a pair. view gets one character per unit, for the prolog.
FileCheck CheckUtf16(const std::string& bytes, size_t start, bool bigEndian, std::string& view) {
    if ((bytes.size() - start) % 2 != 0) return Refused(bytes.size() - 1, "not UTF-16");
    view.reserve((bytes.size() - start) / 2);
    bool highPending = false;
    for (size_t i = start; i < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const uint32_t unit = bigEndian ? (first << 8u) | second : (second << 8u) | first;
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (highPending != low) return Refused(highPending ? i - 2 : i, "not UTF-16");
        highPending = high;
        if (!high && !low && !utf8::IsXmlChar(unit)) return Refused(i, ControlCharacter(unit));
        view += unit < 0x80 ? static_cast<char>(unit) : kOther;
    }
    if (highPending) return Refused(bytes.size() - 2, "not UTF-16");
    return {};
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the declaration at the very start names the encoding: the name's offset and length;
// a length of npos when the declaration's syntax is broken there; nothing when it names none.
std::optional<std::pair<size_t, size_t>> EncodingName(std::string_view view) {
    if (view.rfind("<?xml", 0) != 0 || view.size() < 6 || !IsSpace(view[5])) return std::nullopt;
    const size_t end = view.find("?>");
    const size_t at = view.find("encoding", 5);
    if (end == std::string::npos || at == std::string::npos || at > end) return std::nullopt;
    const std::pair<size_t, size_t> broken{0, std::string::npos};
    size_t i = at + 8;
    while (i < end && IsSpace(view[i])) ++i;
    if (i >= end || view[i] != '=') return broken;
    ++i;
    while (i < end && IsSpace(view[i])) ++i;
    if (i >= end || (view[i] != '"' && view[i] != '\'')) return broken;
    const size_t close = view.find(view[i], i + 1);
    if (close == std::string::npos || close > end) return broken;
    return std::pair(i + 1, close - i - 1);
}

// The encoding named by the declaration at the very start, if it names one.
std::optional<std::string> DeclaredEncoding(std::string_view view) {
    const auto name = EncodingName(view);
    if (!name) return std::nullopt;
    if (name->second == std::string::npos) return std::string();
    return codes::UpperAscii(std::string(view.substr(name->first, name->second)));
}

// windows-1252 from 0x80 to 0x9F; 0 where it defines no character.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& to, uint32_t code) {
    if (code < 0x80) {
        to += static_cast<char>(code);
    } else if (code < 0x800) {
        to += static_cast<char>(0xC0 | (code >> 6));
        to += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        to += static_cast<char>(0xE0 | (code >> 12));
        to += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// What may stand before the root element; i counts characters of the view.
FileCheck CheckProlog(std::string_view view) {
    size_t i = 0;
    while (true) {
        while (i < view.size() && IsSpace(view[i])) ++i;
        if (view.compare(i, 2, "<?") == 0) {
            // The declaration belongs at the very start; anywhere else the file is not XML.
            if (i != 0 && view.compare(i, 5, "<?xml") == 0 &&
                (i + 5 >= view.size() || IsSpace(view[i + 5]) || view[i + 5] == '?')) {
                return Refused(i, "a declaration after the start");
            }
            const size_t end = view.find("?>", i + 2);
            if (end == std::string::npos) return Refused(i, "an instruction without its end");
            i = end + 2;
        } else if (view.compare(i, 4, "<!--") == 0) {
            const size_t end = view.find("-->", i + 4);
            if (end == std::string::npos) return Refused(i, "a comment without its end");
            i = end + 3;
        } else if (view.compare(i, 1, "<") == 0 && view.compare(i, 2, "<!") != 0) {
            return {};  // the root element begins
        } else if (view.compare(i, 9, "<!DOCTYPE") == 0) {
            return Refused(i, "a document type");
        } else {
            if (view.find_first_not_of(" \t\r\n") == std::string::npos) {
                return Refused(0, "the file is empty");
            }
            return Refused(i,
                           i == view.size() ? "no root element" : "text before the root element");
        }
    }
}

// Past the comment, CDATA section or instruction that starts at i, where an & is no fault.
bool SkipOpaque(const std::string& bytes, size_t& i) {
    for (const auto& [open, close] :
         {std::pair("<!--", "-->"), std::pair("<![CDATA[", "]]>"), std::pair("<?", "?>")}) {
        if (bytes.compare(i, std::strlen(open), open) == 0) {
            const size_t end = bytes.find(close, i);
            i = end == std::string::npos ? bytes.size() : end + std::strlen(close);
            return true;
        }
    }
    return false;
}

bool StartsReference(const std::string& bytes, size_t amp) {
    size_t i = amp + 1;
    const auto isName = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
               c == ':' || static_cast<unsigned char>(c) >= 0x80;
    };
    if (i < bytes.size() && bytes[i] == '#') {
        ++i;
        const bool hex = i < bytes.size() && bytes[i] == 'x';
        if (hex) ++i;
        const size_t digits = i;
        while (i < bytes.size() && (hex ? std::isxdigit(static_cast<unsigned char>(bytes[i]))
                                        : std::isdigit(static_cast<unsigned char>(bytes[i])))) {
            ++i;
        }
        return i > digits && i < bytes.size() && bytes[i] == ';';
    }
    const size_t name = i;
    while (i < bytes.size() && isName(bytes[i])) ++i;
    return i > name && i < bytes.size() && bytes[i] == ';';
}

}  // namespace

std::optional<size_t> BareAmpersand(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        if (bytes[i] == '<' && SkipOpaque(bytes, i)) continue;
        if (bytes[i] == '&' && !StartsReference(bytes, i)) return i;
        ++i;
    }
    return std::nullopt;
}

FileCheck ToUtf8(const std::string& bytes, std::string& converted) {
    const auto name = EncodingName(bytes);
    if (!name || name->second == std::string::npos) return {};
    const std::string declared = codes::UpperAscii(bytes.substr(name->first, name->second));
    const bool ascii = declared == "US-ASCII" || declared == "ASCII";
    const bool latin1 =
        declared == "ISO-8859-1" || declared == "ISO_8859-1" || declared == "LATIN1";
    const bool windows = declared == "WINDOWS-1252" || declared == "CP1252";
    if (!ascii && !latin1 && !windows) return {};
    std::string utf8 = bytes.substr(0, name->first) + "UTF-8" + bytes[name->first - 1] +
                       std::string(name->second - 5, ' ');
    for (size_t i = name->first + name->second + 1; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        uint32_t code = byte;
        if (byte >= 0x80 && (ascii || (windows && byte < 0xA0))) {
            code = ascii ? 0 : kWindows1252[byte - 0x80];
            if (code == 0) {
                const char* hex = "0123456789ABCDEF";
                return Refused(i, std::string("a byte (0x") + hex[byte >> 4] + hex[byte & 15] +
                                      ") that " + declared +
                                      ", the declared encoding, does not define: save the file "
                                      "as UTF-8");
            }
        }
        AppendUtf8(utf8, code);
    }
    converted = std::move(utf8);
    return {};
}

std::string InFolder(const std::string& folder, const std::string& name) {
    const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return separated ? folder + name : folder + '\\' + name;
}

std::string DefaultPath(const std::string& executableFolder) {
    return InFolder(executableFolder, kFileName);
}

FileCheck CheckFile(const std::string& bytes) {
    auto byteAt = [&](size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
    };
    // A file without byte-order mark is taken as UTF-8; UTF-16 without one then fails, as it
    // must have the mark.
    size_t start = 0;
    size_t unit = 1;
    bool bigEndian = false;
    if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        start = 3;
    } else if (byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        if (byteAt(2) == 0 && byteAt(3) == 0) return Refused(0, "UTF-32");
        start = 2, unit = 2;
    } else if (byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        start = 2, unit = 2, bigEndian = true;
    }
    // The prolog is read from the bytes themselves where they are UTF-8 (every byte of a
    // character outside ASCII is above 0x7F, so none looks like markup), else from a view.
    std::string utf16View;
    FileCheck check =
        unit == 1 ? CheckUtf8(bytes, start) : CheckUtf16(bytes, start, bigEndian, utf16View);
    if (!check.acceptable) return check;
    const std::string_view view =
        unit == 1 ? std::string_view(bytes).substr(start) : std::string_view(utf16View);

    if (const std::optional<std::string> declared = DeclaredEncoding(view)) {
        // "unicode": Windows' own name for UTF-16, which some of its policy definitions use.
        const bool utf16 = *declared == "UTF-16" || *declared == "UNICODE";
        if (unit == 1 ? *declared != "UTF-8" : !utf16) {
            return Refused(start, "the file declares the encoding " + *declared +
                                      ", which the reader does not take: save the file as UTF-8");
        }
    }
    check = CheckProlog(view);
    check.offset = start + check.offset * unit;
    return check;
}

}  // namespace catalogue
