#include "catalogue/CatalogueFile.h"

#include <cstdint>
#include <optional>

#include "catalogue/Codes.h"
#include "platform/Utf8.h"

namespace catalogue {
namespace {

enum class Encoding { Utf8, Utf16LE, Utf16BE };

// Marks every character outside ASCII in the markup view; the prolog's syntax is all ASCII.
constexpr char kOther = '\x80';

// Characters XML does not allow are refused here, for every parser alike: parsers differ in what
// they let through where they keep text as it is (CDATA, comments, instructions; NUL, which some
// take for the end of the file).
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::string> ViewUtf8(const std::string& bytes, size_t start) {
    std::string view;
    view.reserve(bytes.size());
    size_t i = start;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            // ASCII, the bulk of any catalogue: checked and copied a run at a time.
            size_t end = i;
            while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80 &&
                   utf8::IsXmlChar(static_cast<unsigned char>(bytes[end]))) {
                ++end;
            }
            if (end == i) return std::nullopt;  // a character XML does not allow
            view.append(bytes, i, end - i);
            i = end;
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
            return std::nullopt;
        }
        if (i + length > bytes.size()) return std::nullopt;
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (b & 0x3Fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || !utf8::IsXmlChar(code)) {
            return std::nullopt;
        }
        view += kOther;
        i += length;
    }
    return view;
}

// UTF-16 with every surrogate in a pair.
std::optional<std::string> ViewUtf16(const std::string& bytes, size_t start, bool bigEndian) {
    if ((bytes.size() - start) % 2 != 0) return std::nullopt;
    std::string view;
    view.reserve((bytes.size() - start) / 2);
    bool highPending = false;
    for (size_t i = start; i < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const uint32_t unit = bigEndian ? (first << 8u) | second : (second << 8u) | first;
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (highPending != low) return std::nullopt;
        highPending = high;
        if (high) continue;
        if (!high && !low && !utf8::IsXmlChar(unit)) return std::nullopt;
        view += unit < 0x80 ? static_cast<char>(unit) : kOther;
    }
    if (highPending) return std::nullopt;
    return view;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding named by the declaration at the very start, if it names one.
std::optional<std::string> DeclaredEncoding(const std::string& view) {
    if (view.rfind("<?xml", 0) != 0 || view.size() < 6 || !IsSpace(view[5])) return std::nullopt;
    const size_t end = view.find("?>");
    const size_t at = view.find("encoding", 5);
    if (end == std::string::npos || at == std::string::npos || at > end) return std::nullopt;
    size_t i = at + 8;
    while (i < end && IsSpace(view[i])) ++i;
    if (i >= end || view[i] != '=') return std::string();
    ++i;
    while (i < end && IsSpace(view[i])) ++i;
    if (i >= end || (view[i] != '"' && view[i] != '\'')) return std::string();
    const size_t close = view.find(view[i], i + 1);
    if (close == std::string::npos || close > end) return std::string();
    return codes::UpperAscii(view.substr(i + 1, close - i - 1));
}

}  // namespace

std::string DefaultPath(const std::string& executableFolder) {
    std::string path = executableFolder;
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    return path + kFileName;
}

bool IsAcceptableFile(const std::string& bytes) {
    auto byteAt = [&](size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
    };
    Encoding encoding = Encoding::Utf8;
    size_t start = 0;
    if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) {
        start = 3;
    } else if (byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
        if (byteAt(2) == 0 && byteAt(3) == 0) return false;  // UTF-32
        encoding = Encoding::Utf16LE;
        start = 2;
    } else if (byteAt(0) == 0xFE && byteAt(1) == 0xFF) {
        encoding = Encoding::Utf16BE;
        start = 2;
    }
    // A file without byte-order mark is taken as UTF-8; UTF-16 without one then fails below,
    // as it must have the mark.
    const std::optional<std::string> decoded =
        encoding == Encoding::Utf8 ? ViewUtf8(bytes, start)
                                   : ViewUtf16(bytes, start, encoding == Encoding::Utf16BE);
    if (!decoded) return false;
    const std::string& view = *decoded;

    if (const std::optional<std::string> declared = DeclaredEncoding(view)) {
        const bool matches = encoding == Encoding::Utf8 ? *declared == "UTF-8"
                                                        : *declared == "UTF-16";
        if (!matches) return false;
    }

    size_t i = 0;
    while (true) {
        while (i < view.size() && IsSpace(view[i])) ++i;
        if (view.compare(i, 2, "<?") == 0) {
            // The declaration belongs at the very start; anywhere else the file is not XML.
            if (i != 0 && view.compare(i, 5, "<?xml") == 0 &&
                (i + 5 >= view.size() || IsSpace(view[i + 5]) || view[i + 5] == '?')) {
                return false;
            }
            const size_t end = view.find("?>", i + 2);
            if (end == std::string::npos) return false;
            i = end + 2;
        } else if (view.compare(i, 4, "<!--") == 0) {
            const size_t end = view.find("-->", i + 4);
            if (end == std::string::npos) return false;
            i = end + 3;
        } else if (view.compare(i, 1, "<") == 0 && view.compare(i, 2, "<!") != 0) {
            return true;  // the root element begins
        } else {
            return false;  // a document type, stray text, or no root at all
        }
    }
}

}  // namespace catalogue
