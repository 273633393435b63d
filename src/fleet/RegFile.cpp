#include "fleet/RegFile.h"

#include <cstdio>

#include "catalogue/ValueTypes.h"
#include "platform/Utf8.h"

namespace fleet {
namespace {

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr size_t kLineWidth = 76;  // where regedit breaks its hexadecimal lines

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A REG_SZ that a quoted string can hold: one line, no NUL but the last.
bool QuotableText(const FleetValue& value, std::string& text) {
    if (value.type != 1 || value.data.size() < 2 || value.data.size() % 2 != 0) return false;
    if (value.data[value.data.size() - 1] != 0 || value.data[value.data.size() - 2] != 0) {
        return false;
    }
    text = utf8::FromUtf16Bytes({value.data.begin(), value.data.end() - 2});
    if (Utf16Z(text) != value.data) return false;  // an unpaired surrogate or an inner NUL
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// hex:01,02,... broken into lines with a backslash at the end as regedit breaks them.
std::string HexData(const std::string& head, const std::vector<uint8_t>& data) {
    std::string text = head;
    size_t lineStart = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        text += pair;
        if (i + 1 == data.size()) break;
        text += ',';
        if (text.size() - lineStart > kLineWidth) {
            text += "\\\r\n  ";
            lineStart = text.size() - 2;
        }
    }
    return text;
}

std::string ValueLine(const FleetValue& value) {
    std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
    if (value.op == FleetValue::Op::DeleteValue) return line + "-";
    std::string text;
    if (QuotableText(value, text)) return line + Quoted(text);
    if (value.type == 4 && value.data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x",
                      static_cast<unsigned>(value.data[0] | value.data[1] << 8 |
                                            value.data[2] << 16 | value.data[3] << 24));
        return line + number;
    }
    char head[24];
    std::snprintf(head, sizeof head, value.type == 3 ? "hex:" : "hex(%x):", value.type);
    return HexData(line + head, value.data);
}

}  // namespace

std::string WriteRegFile(const std::vector<FleetValue>& values) {
    std::string text = std::string(kHeader5) + "\r\n";
    const std::string* key = nullptr;
    for (const FleetValue& value : values) {
        if (value.op == FleetValue::Op::DeleteKey) {
            text += "\r\n[-" + value.key + "]\r\n";
            key = nullptr;
            continue;
        }
        if (key == nullptr || *key != value.key) text += "\r\n[" + value.key + "]\r\n";
        key = &value.key;
        text += ValueLine(value) + "\r\n";
    }
    text += "\r\n";
    std::vector<uint8_t> wide =
        utf8::ToUtf16Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return std::string("\xFF\xFE") + std::string(wide.begin(), wide.end());
}

}  // namespace fleet
