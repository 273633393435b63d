#include "fleet/GptIni.h"

#include <set>
#include <vector>

#include "fleet/FleetValue.h"

namespace fleet {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The list "[{a}{b}][{c}{d}]" with the pair added, the pairs in order as Windows keeps them.
std::string WithPair(const std::string& list, const std::string& pair) {
    std::set<std::string> pairs;
    for (size_t open = list.find('['); open != std::string::npos; open = list.find('[', open)) {
        const size_t close = list.find(']', open);
        if (close == std::string::npos) break;
        std::string each = list.substr(open, close - open + 1);
        for (char& c : each) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        pairs.insert(each);
        open = close;
    }
    pairs.insert(pair);
    std::string joined;
    for (const std::string& each : pairs) joined += each;
    return joined;
}

bool IsKey(const std::string& line, const std::string& key, std::string& value) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos || !SameName(line.substr(0, equals), key)) return false;
    value = line.substr(equals + 1);
    return true;
}

}  // namespace

std::string RaiseGptIni(const std::string& existing, bool machine, bool user) {
    std::vector<std::string> lines = Lines(existing);
    if (lines.empty()) lines.push_back("[General]");
    bool sawMachine = false, sawUser = false, sawVersion = false;
    for (std::string& line : lines) {
        std::string value;
        if (IsKey(line, "gPCMachineExtensionNames", value)) {
            sawMachine = true;
            if (machine) line = "gPCMachineExtensionNames=" + WithPair(value, kMachineExtensions);
        } else if (IsKey(line, "gPCUserExtensionNames", value)) {
            sawUser = true;
            if (user) line = "gPCUserExtensionNames=" + WithPair(value, kUserExtensions);
        } else if (IsKey(line, "Version", value)) {
            sawVersion = true;
            unsigned long number = 0;
            try {
                number = std::stoul(value);
            } catch (...) {
                number = 0;
            }
            uint32_t low = number & 0xFFFF, high = (number >> 16) & 0xFFFF;
            low = machine ? (low + 1) & 0xFFFF : low;
            high = user ? (high + 1) & 0xFFFF : high;
            line = "Version=" + std::to_string(high << 16 | low);
        }
    }
    if (!sawMachine && machine)
        lines.push_back(std::string("gPCMachineExtensionNames=") + kMachineExtensions);
    if (!sawUser && user) lines.push_back(std::string("gPCUserExtensionNames=") + kUserExtensions);
    if (!sawVersion)
        lines.push_back("Version=" + std::to_string((user ? 1u << 16 : 0u) | (machine ? 1u : 0u)));
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace fleet
