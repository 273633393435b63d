#include "CatalogueCompare.h"

#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/Utf8.h"

namespace cataloguecheck {
namespace {

// The code points of a UTF-8 text, each malformed byte as U+FFFD.
std::vector<uint32_t> Decode(const std::string& text) {
    std::vector<uint32_t> points;
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (b0 < 0x80) {
            length = 1;
            code = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            code = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            code = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            code = b0 & 0x07u;
        }
        bool ok = length > 0 && i + length <= text.size();
        for (size_t k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            ok = (b & 0xC0) == 0x80;
            code = (code << 6) | (b & 0x3Fu);
        }
        ok = ok && !(length == 3 && code < 0x800) && !(length == 4 && code < 0x10000) &&
             !(code >= 0xD800 && code <= 0xDFFF) && code <= 0x10FFFF;
        if (ok) {
            points.push_back(code);
            i += length;
        } else {
            points.push_back(0xFFFD);
            i += 1;
        }
    }
    return points;
}

template <typename T>
std::string Compare(const char* what, const T& expected, const T& actual) {
    if (expected == actual) return std::string();
    return std::string(what) + " differs";
}

std::string Shown(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string shown = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 0xF];
        }
    }
    return shown + "\"";
}

std::string Text(const char* what, const std::string& expected, const std::string& actual) {
    if (expected == actual) return std::string();
    return std::string(what) + ": expected " + Shown(expected) + ", got " + Shown(actual);
}

std::string Number(const char* what, int64_t expected, int64_t actual) {
    if (expected == actual) return std::string();
    return std::string(what) + ": expected " + std::to_string(expected) + ", got " +
           std::to_string(actual);
}

std::string ItemDifference(const OptimizationItem& e, const OptimizationItem& a) {
    std::string d;
    if (!(d = Text("Name", e.Name, a.Name)).empty()) return d;
    if (!(d = Text("Number", e.Number, a.Number)).empty()) return d;
    if (!(d = Text("Description", e.Description, a.Description)).empty()) return d;
    if (!(d = Text("Justification", e.Justification, a.Justification)).empty()) return d;
    if (!(d = Text("Category", e.Category, a.Category)).empty()) return d;
    if (!(d = Text("Impact", e.Impact, a.Impact)).empty()) return d;
    if (!(d = Number("mode", e.mode, a.mode)).empty()) return d;
    if (!(d = Number("Enabled", e.Enabled, a.Enabled)).empty()) return d;
    if (!(d = Compare("osVersions", e.osVersions, a.osVersions)).empty()) return d;
    if (!(d = Number("regItems count", static_cast<int64_t>(e.regItems.size()),
                     static_cast<int64_t>(a.regItems.size())))
             .empty()) {
        return d;
    }
    for (size_t i = 0; i < e.regItems.size(); ++i) {
        const RegistryItem& x = e.regItems[i];
        const RegistryItem& y = a.regItems[i];
        if (!(d = Number("KeyType", x.KeyType, y.KeyType)).empty()) return d;
        if (!(d = Text("Key", x.Key, y.Key)).empty()) return d;
        if (!(d = Text("ValueName", x.ValueName, y.ValueName)).empty()) return d;
        if (!(d = Text("Value", x.Value, y.Value)).empty()) return d;
    }
    if (!(d = Number("cmdItems count", static_cast<int64_t>(e.cmdItems.size()),
                     static_cast<int64_t>(a.cmdItems.size())))
             .empty()) {
        return d;
    }
    for (size_t i = 0; i < e.cmdItems.size(); ++i) {
        if (!(d = Text("Command", e.cmdItems[i].Command, a.cmdItems[i].Command)).empty()) {
            return d;
        }
    }
    if (!(d = Number("wmiItems count", static_cast<int64_t>(e.wmiItems.size()),
                     static_cast<int64_t>(a.wmiItems.size())))
             .empty()) {
        return d;
    }
    for (size_t i = 0; i < e.wmiItems.size(); ++i) {
        const wmiItem& x = e.wmiItems[i];
        const wmiItem& y = a.wmiItems[i];
        if (!(d = Text("query", x.Command, y.Command)).empty()) return d;
        if (!(d = Number("WarningLevel", x.WarningLevel, y.WarningLevel)).empty()) return d;
    }
    return std::string();
}

}  // namespace

std::string FirstDifference(const OptimizationList& expected, const OptimizationList& actual) {
    if (expected.size() != actual.size()) {
        return "expected " + std::to_string(expected.size()) + " items, got " +
               std::to_string(actual.size());
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string d = ItemDifference(*expected[i], *actual[i]);
        if (!d.empty()) return "item " + std::to_string(i + 1) + ": " + d;
    }
    return std::string();
}

std::string Trimmed(const std::string& value) {
    const char* space = " \t\r\n";
    const size_t first = value.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return value.substr(first, value.find_last_not_of(space) - first + 1);
}

OptimizationList WithTexts(const OptimizationList& records,
                           std::string (*change)(const std::string&)) {
    OptimizationList copies;
    for (const OptimizationItemPtr& record : records) {
        auto item = std::make_shared<OptimizationItem>(*record);
        for (std::string* text : {&item->Name, &item->Number, &item->Description,
                                  &item->Justification, &item->Category, &item->Impact}) {
            *text = change(*text);
        }
        for (RegistryItem& reg : item->regItems) {
            reg.Key = change(reg.Key);
            reg.ValueName = change(reg.ValueName);
            reg.Value = change(reg.Value);
        }
        for (cmdItem& cmd : item->cmdItems) cmd.Command = change(cmd.Command);
        for (wmiItem& wmi : item->wmiItems) wmi.Command = change(wmi.Command);
        copies.push_back(item);
    }
    return copies;
}

std::string LineFeeds(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\r') {
            out += value[i];
            continue;
        }
        out += '\n';
        if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
    }
    return out;
}

std::string ThroughFile(const std::string& value) {
    std::string out;
    const std::vector<uint32_t> points = Decode(value);
    for (size_t i = 0; i < points.size(); ++i) {
        const uint32_t c = points[i];
        if (!utf8::IsXmlChar(c)) continue;
        if (c == '\r') {
            // A line end CR LF is one line feed; a lone CR becomes one.
            size_t next = i + 1;
            while (next < points.size() && !utf8::IsXmlChar(points[next])) ++next;
            if (next < points.size() && points[next] == '\n') i = next;
            out += '\n';
            continue;
        }
        utf8::Append(out, c);
    }
    return Trimmed(out);
}

}  // namespace cataloguecheck
