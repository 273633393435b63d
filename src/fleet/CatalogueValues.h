#pragma once
// The catalogue's entries as the values a regedit or Registry.pol file carries, and back.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "fleet/FleetValue.h"

namespace fleet {

// An action of an entry that the file cannot carry, and why.
struct LeftOut {
    std::string number;  // the entry's Number
    std::string kind;    // "registry", "service", "task", "command", "wmi"
    std::string text;    // the key, service and start type, task and state, command or query
    std::string reason;
};

struct Exported {
    std::vector<FleetValue> values;
    std::vector<LeftOut> leftOut;
};

// The value apply writes for the item: its key with the root's full name, type and bytes, or a
// value delete. Throws ErrorRecord where apply's conversion fails.
FleetValue ValueOf(const RegistryItem& item);

// The registry values of the entries in run order. A value that apply would fail on is left out
// with the entry's values after it, as the run stops there; services, scheduled tasks, command
// lines and WMI checks too.
Exported ExportValues(const OptimizationList& entries);

// A policy that names a value, as the machine's definitions state it.
struct NamedPolicy {
    std::string id;                 // the policy's name, which groups its values
    std::string displayName;        // the entry's name
    std::string explanation;        // the first sentence, for the description
    std::vector<int32_t> versions;  // codes; empty: All
};
using PolicyNamer = std::function<std::optional<NamedPolicy>(const FleetValue&)>;

struct Imported {
    OptimizationList entries;
    std::vector<Notice> warnings;
};

// The values as new entries numbered from firstNumber: one per key, or one per policy where
// namer names the value; disabled, mode Normal, impact LOW, no category, the description naming
// source. What a catalogue cannot say the same way is a warning at the value's place.
Imported ImportValues(const std::vector<FleetValue>& values, const std::string& source,
                      const PolicyNamer& namer, int firstNumber);

// The version codes a policy's "supported on" text names: "At least Windows 7 or Windows Server
// 2008 R2" is each named version and the later ones of its line; empty (All) when the text names
// anything else.
std::vector<int32_t> SupportedVersions(const std::string& text);

// Whether a key (below its root) is one of the keys Group Policy removes with the policy.
bool IsPolicyKey(const std::string& keyBelowRoot);

}  // namespace fleet
