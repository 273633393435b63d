#include "fleet/FleetValue.h"

#include "platform/Utf8.h"

namespace fleet {

std::vector<uint8_t> Utf16Z(const std::string& utf8) {
    std::vector<uint8_t> bytes =
        utf8::ToUtf16Bytes(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size());
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace fleet
