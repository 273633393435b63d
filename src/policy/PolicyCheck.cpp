#include "policy/PolicyCheck.h"

#include <algorithm>
#include <charconv>

#include "catalogue/Codes.h"
#include "catalogue/Values.h"
#include "platform/Registry.h"

namespace policy {
namespace {

constexpr size_t kTypoEdits = 2;

// The catalogue's value as the registry will hold it.
struct Written {
    enum class Kind { Number, Text, Bytes } kind = Kind::Bytes;
    uint64_t number = 0;
    std::string text;
};

std::optional<Written> WrittenValue(const RegistryItem& item) {
    using namespace codes;
    if (item.KeyType == kKeyTypeString || item.KeyType == kKeyTypeExpandString) {
        return Written{Written::Kind::Text, 0, item.Value};
    }
    if (item.KeyType == kKeyTypeQword) {
        const catalogue::Converted<uint64_t> number = catalogue::QwordOf(item.Value);
        if (!number.Ok()) return std::nullopt;  // the catalogue's own check reports it
        return Written{Written::Kind::Number, number.value, {}};
    }
    if (item.KeyType != kKeyTypeDword) return Written{};
    const catalogue::Converted<int32_t> number = catalogue::DwordOf(item.Value);
    if (!number.Ok()) return std::nullopt;  // the catalogue's own check reports it
    return Written{Written::Kind::Number, static_cast<uint32_t>(number.value), {}};
}

bool Allows(const ValueRule& rule, const Written& value) {
    using Kind = Written::Kind;
    switch (rule.kind) {
        case ValueRule::Kind::OneOf:
            return std::any_of(rule.values.begin(), rule.values.end(), [&](const DefinedValue& v) {
                return v.isNumber ? value.kind == Kind::Number && v.number == value.number
                                  : value.kind == Kind::Text && v.text == value.text;
            });
        case ValueRule::Kind::Range: {
            uint64_t number = value.number;
            if (rule.asText != (value.kind == Kind::Text) || value.kind == Kind::Bytes) {
                return false;
            }
            if (rule.asText) {
                const char* end = value.text.data() + value.text.size();
                const auto parsed = std::from_chars(value.text.data(), end, number);
                if (parsed.ec != std::errc() || parsed.ptr != end || value.text.empty()) {
                    return false;
                }
            }
            return number >= rule.minValue && number <= rule.maxValue;
        }
        case ValueRule::Kind::Text: return value.kind == Kind::Text;
    }
    return false;
}

std::string Shown(const DefinedValue& value) {
    return value.isNumber ? std::to_string(value.number) : "\"" + value.text + "\"";
}

// What the rule takes, for the message.
std::string Takes(const ValueRule& rule) {
    switch (rule.kind) {
        case ValueRule::Kind::OneOf: {
            std::string list;
            for (size_t i = 0; i < rule.values.size(); ++i) {
                if (i == 6) return list + " or others";
                list += (i == 0                        ? ""
                         : i + 1 == rule.values.size() ? " or "
                                                       : ", ") +
                        Shown(rule.values[i]);
            }
            return list;
        }
        case ValueRule::Kind::Range:
            return (rule.asText ? "a text holding a number from " : "a number from ") +
                   std::to_string(rule.minValue) + " to " + std::to_string(rule.maxValue);
        case ValueRule::Kind::Text: return "a text";
    }
    return {};
}

std::string ShownWritten(const RegistryItem& item, const Written& value) {
    switch (value.kind) {
        case Written::Kind::Number: return "DWORD " + std::to_string(value.number);
        case Written::Kind::Text: return "STRING \"" + value.text + "\"";
        case Written::Kind::Bytes: break;
    }
    return "BINARY " + item.Value;
}

bool FitsHive(PolicyClass policyClass, int32_t root) {
    if (policyClass == PolicyClass::Both) return true;
    return (policyClass == PolicyClass::Machine) == (root == reg::kLocalMachine);
}

bool UnderPolicies(const std::string& subKey) {
    // "Software\Policies\x\": a piece named Policies with a key below it.
    std::string upper(1, '\\');
    upper += codes::UpperAscii(subKey);
    const size_t found = upper.find("\\POLICIES\\");
    return found != std::string::npos && found + 10 < upper.size();
}

// A defined value name under the same key a typo away: the nearest, the first of equals.
std::optional<std::string> NearName(const Definitions& read, const std::string& subKey,
                                    const std::string& valueName) {
    const auto names = read.names.find(Definitions::Lookup(subKey, ""));
    if (names == read.names.end()) return std::nullopt;
    std::optional<std::string> nearest;
    size_t best = kTypoEdits + 1;
    for (const std::string& name : names->second) {
        const size_t edits = EditDistance(name, valueName, kTypoEdits);
        if (edits < best) best = edits, nearest = name;
    }
    return nearest;
}

void Judge(const RegistryItem& item, int32_t root, const std::vector<const PolicyTarget*>& targets,
           PolicyLibrary& library, PolicyFinding& finding) {
    const std::optional<Written> value = WrittenValue(item);
    const auto allows = [&](const PolicyTarget* t) { return !value || Allows(t->rule, *value); };
    const auto fits = [&](const PolicyTarget* t) {
        return FitsHive(library.Read().policies[t->policy].policyClass, root);
    };
    // The policy meant: the first that takes the value where it is written, else the first
    // that takes it, else the first that belongs there.
    const auto score = [&](const PolicyTarget* t) {
        return (allows(t) ? 2 : 0) + (fits(t) ? 1 : 0);
    };
    const PolicyTarget* meant = targets.front();
    for (const PolicyTarget* target : targets) {
        if (score(target) > score(meant)) meant = target;
    }
    finding.policy = meant->policy;
    const std::string title = PolicyTitle(library, meant->policy);
    if (!allows(meant)) {
        finding.warnings.push_back(
            {"policy-value-not-allowed", ShownWritten(item, *value) +
                                             " is not a value that policy " + title +
                                             " defines for \"" + item.ValueName + "\" (it takes " +
                                             Takes(meant->rule) + "): Windows ignores it"});
    }
    if (!fits(meant)) {
        const bool machine = root == reg::kCurrentUser;
        finding.warnings.push_back(
            {"policy-wrong-hive",
             "policy " + title + " is a " + (machine ? "Machine" : "User") + " policy: under " +
                 reg::RootName(root) + " Windows does not read it (it " + "belongs under " +
                 (machine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER") + ")"});
    }
}

}  // namespace

size_t EditDistance(std::string_view a, std::string_view b, size_t limit) {
    const size_t longer = std::max(a.size(), b.size());
    if (longer - std::min(a.size(), b.size()) > limit) return limit + 1;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    const auto same = [&](size_t i, size_t j) { return lower(a[i]) == lower(b[j]); };
    // Three rows of the table: two back for a swap of neighbours.
    std::vector<size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) last[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            row[j] =
                std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
            if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1)) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return std::min(last[b.size()], limit + 1);
}

std::vector<std::string> PolicyLines(const OptimizationItem& entry, PolicyLibrary& library) {
    std::vector<size_t> shown;
    std::vector<std::string> lines;
    for (const RegistryItem& value : entry.regItems) {
        const std::optional<size_t> policy = CheckValue(value, library).policy;
        if (!policy || std::find(shown.begin(), shown.end(), *policy) != shown.end()) continue;
        shown.push_back(*policy);
        const std::string supported = library.SupportedOn(*policy);
        lines.push_back("Policy: " + library.DisplayName(*policy) +
                        (supported.empty() ? "" : " (supported on: " + supported + ")"));
    }
    return lines;
}

std::string PolicyTitle(PolicyLibrary& library, size_t policy) {
    return library.Read().policies[policy].name + " (\"" + library.DisplayName(policy) + "\")";
}

PolicyFinding CheckValue(const RegistryItem& item, PolicyLibrary& library) {
    PolicyFinding finding;
    const catalogue::Converted<int32_t> found = catalogue::RootOf(item.Key);
    if (!found.Ok()) return finding;  // no key: the catalogue's own check reports it
    const int32_t root = found.value;
    const std::string subKey = catalogue::SubKeyOf(item.Key);
    if ((root != reg::kLocalMachine && root != reg::kCurrentUser) || !UnderPolicies(subKey)) {
        return finding;
    }
    finding.policyKey = true;
    const Definitions& read = library.Read();
    std::vector<const PolicyTarget*> targets;
    if (const auto found = read.values.find(Definitions::Lookup(subKey, item.ValueName));
        found != read.values.end()) {
        for (const PolicyTarget& target : found->second) targets.push_back(&target);
    } else if (const auto list = read.lists.find(Definitions::Lookup(subKey, ""));
               list != read.lists.end()) {
        targets.push_back(&list->second);
    }
    if (!targets.empty()) {
        Judge(item, root, targets, library, finding);
    } else if (const std::optional<std::string> near = NearName(read, subKey, item.ValueName)) {
        const size_t policy = read.values.at(Definitions::Lookup(subKey, *near)).front().policy;
        finding.warnings.push_back(
            {"policy-unknown-value", "no policy defines \"" + item.ValueName +
                                         "\" under this key, but policy " +
                                         PolicyTitle(library, policy) + " defines \"" + *near +
                                         "\": a typo? Windows ignores the value as written"});
    }
    return finding;
}

}  // namespace policy
