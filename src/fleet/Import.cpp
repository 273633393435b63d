// Values from a regedit or Registry.pol file as new catalogue entries.
#include <algorithm>
#include <map>
#include <span>

#include "catalogue/Codes.h"
#include "fleet/CatalogueValues.h"
#include "platform/Registry.h"
#include "platform/Utf8.h"

namespace fleet {
namespace {

std::string TypeOf(uint32_t type) { return codes::TypeNameOf(type); }

// UTF-16LE text with every NUL at its end taken off; none when it does not convert exactly.
std::optional<std::string> TextOf(std::vector<uint8_t> data) {
    if (data.size() % 2 != 0) return std::nullopt;
    while (data.size() >= 2 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0) {
        data.resize(data.size() - 2);
    }
    const std::string text = utf8::FromUtf16Bytes(data);
    std::vector<uint8_t> back = Utf16Z(text);
    back.resize(back.size() - 2);
    if (back != data) return std::nullopt;
    return text;
}

// Whether the text survives the catalogue file as it is: characters XML takes, no carriage return
// (a reader turns line ends into LF).
bool KeptByXml(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n') return false;
    }
    return true;
}

uint64_t Number(const std::vector<uint8_t>& data) {
    uint64_t number = 0;
    for (size_t i = data.size(); i-- > 0;) number = number << 8 | data[i];
    return number;
}

// A MULTISTRING's Value from REG_MULTI_SZ data: strings one per line.
std::optional<std::string> LinesOf(const std::string& strings, std::string& why) {
    std::string lines;
    size_t start = 0;
    while (start < strings.size()) {
        const size_t nul = std::min(strings.find('\0', start), strings.size());
        const std::string each = strings.substr(start, nul - start);
        if (each.empty()) return why = "an empty string inside a REG_MULTI_SZ", std::nullopt;
        if (!KeptByXml(each))
            return why = "a REG_MULTI_SZ string with control characters", std::nullopt;
        if (each.find('\n') != std::string::npos) {
            return why = "a REG_MULTI_SZ string with a line end", std::nullopt;
        }
        lines += (lines.empty() ? "" : "\n") + each;
        start = nul + 1;
    }
    if (lines.empty()) why = "an empty REG_MULTI_SZ: an empty MULTISTRING deletes the value";
    return lines.empty() ? std::nullopt : std::optional<std::string>(lines);
}

std::optional<std::string> TextValue(const FleetValue& value, std::string& why) {
    const std::optional<std::string> text = TextOf(value.data);
    if (text && value.type == reg::kMultiSz) return LinesOf(*text, why);
    if (!text || !KeptByXml(*text)) {
        return why = "a " + TypeOf(value.type) + " that the catalogue cannot hold as text" +
                     " (a NUL inside, control characters or no UTF-16)",
               std::nullopt;
    }
    if (text->empty()) {
        why = "an empty " + TypeOf(value.type) + ": an empty STRING deletes the value";
        return std::nullopt;
    }
    return text;
}

// The item that writes the value, or none and why.
std::optional<RegistryItem> ItemOf(const FleetValue& value, std::string& why) {
    using namespace codes;
    RegistryItem item{kKeyTypeString, value.key, value.name, ""};
    if (value.op == FleetValue::Op::DeleteKey) {
        why = "a key delete: the catalogue deletes values only";
        return std::nullopt;
    }
    if (value.op == FleetValue::Op::DeleteValue) return item;
    const ValueType* type = TypeByNumber(value.type);
    if (type == nullptr || type->keyType < 0) {
        why = TypeOf(value.type) + " has no KeyType in the catalogue";
        return std::nullopt;
    }
    item.KeyType = type->keyType;
    const size_t size = value.type == reg::kDword ? 4 : value.type == reg::kQword ? 8 : 0;
    if (size != 0 && value.data.size() != size) {
        why = "a " + TypeOf(value.type) + " of " + std::to_string(value.data.size()) + " bytes";
        return std::nullopt;
    }
    if (size != 0) {
        const uint64_t number = Number(value.data);
        item.Value = size == 4 && number > 0x7FFFFFFF
                         ? std::to_string(static_cast<int32_t>(static_cast<uint32_t>(number)))
                         : std::to_string(number);
    } else if (value.type == reg::kBinary) {
        if (value.data.empty()) return why = "an empty REG_BINARY", std::nullopt;
        static const char kDigits[] = "0123456789ABCDEF";
        for (const uint8_t byte : value.data) {
            item.Value += std::string(item.Value.empty() ? "" : ",") + kDigits[byte >> 4] +
                          kDigits[byte & 15];
        }
    } else if (std::optional<std::string> text = TextValue(value, why)) {
        item.Value = *text;
        if (value.type == reg::kSz && text->find('%') != std::string::npos &&
            text->find('%', text->find('%') + 2) != std::string::npos) {
            why = "a REG_SZ holding % pairs: the STRING rule would write it as REG_EXPAND_SZ";
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    return item;
}

OptimizationItemPtr NewEntry(const std::string& name, const std::string& source) {
    auto entry = std::make_shared<OptimizationItem>();
    entry->Name = name;
    entry->Description = "Imported from " + source + ".";
    entry->Impact = "LOW";
    entry->mode = codes::kModeNormal;
    entry->osVersions = {codes::kAll};
    return entry;
}

// The versions of each line of Windows in the order they came out.
constexpr int32_t kClients[] = {codes::kWindows2000, codes::kWindowsXP, codes::kWindowsVista,
                                codes::kWindows7,    codes::kWindows8,  codes::kWindows81,
                                codes::kWindows10,   codes::kWindows11};
constexpr int32_t kServers[] = {codes::kWindowsServer2003, codes::kWindowsServer2003R2,
                                codes::kWindowsServer2008, codes::kWindowsServer2008R2,
                                codes::kWindowsServer2012, codes::kWindowsServer2012R2,
                                codes::kWindowsServer2016, codes::kWindowsServer2019,
                                codes::kWindowsServer2022, codes::kWindowsServer2025};

// Adds the named version and those after it; false for a name that is no version's.
bool AddFrom(const std::string& name, std::vector<int32_t>& versions) {
    for (const auto& line :
         {std::span<const int32_t>(kClients), std::span<const int32_t>(kServers)}) {
        for (size_t i = 0; i < line.size(); ++i) {
            if (!SameName(codes::GetOSString(line[i]), name)) continue;
            for (size_t later = i; later < line.size(); ++later) {
                if (std::find(versions.begin(), versions.end(), line[later]) == versions.end()) {
                    versions.push_back(line[later]);
                }
            }
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<int32_t> SupportedVersions(const std::string& text) {
    const std::string atLeast = "At least ";
    if (!SameName(text.substr(0, atLeast.size()), atLeast)) return {};
    std::vector<int32_t> versions;
    for (size_t start = atLeast.size();;) {
        const size_t alternative = text.find(" or ", start);
        if (!AddFrom(text.substr(start, alternative - start), versions)) return {};
        if (alternative == std::string::npos) break;
        start = alternative + 4;
    }
    std::sort(versions.begin(), versions.end());
    return versions;
}

Imported ImportValues(const std::vector<FleetValue>& values, const std::string& source,
                      const PolicyNamer& namer, int firstNumber) {
    Imported imported;
    std::map<std::string, OptimizationItemPtr> byGroup;
    for (const FleetValue& value : values) {
        std::string why;
        const std::optional<RegistryItem> item = ItemOf(value, why);
        if (!item) {
            imported.warnings.push_back(
                {value.at, "left out " + value.key + "\\" +
                               (value.name.empty() ? "(Default)" : value.name) + ": " + why});
            continue;
        }
        const std::optional<NamedPolicy> policy = namer ? namer(value) : std::nullopt;
        const std::string group =
            policy ? "policy:" + policy->id : "key:" + codes::UpperAscii(value.key);
        OptimizationItemPtr& entry = byGroup[group];
        if (!entry) {
            entry = NewEntry(policy ? policy->displayName : value.key, source);
            if (policy && !policy->explanation.empty()) {
                entry->Description = policy->explanation + " " + entry->Description;
            }
            if (policy && !policy->versions.empty()) entry->osVersions = policy->versions;
            entry->Number = std::to_string(firstNumber + static_cast<int>(imported.entries.size()));
            imported.entries.push_back(entry);
        }
        entry->regItems.push_back(*item);
    }
    return imported;
}

}  // namespace fleet
