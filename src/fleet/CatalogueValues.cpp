#include "fleet/CatalogueValues.h"

#include "catalogue/Codes.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "platform/Registry.h"

namespace fleet {
namespace {

std::vector<uint8_t> LittleEndian(uint64_t bits, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return bytes;
}

// Whether a text holds a "%" followed, two or more characters later, by another: the STRING
// rule that makes it a REG_EXPAND_SZ.
bool HoldsPercentPair(const std::string& text) {
    const size_t first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

void SetData(FleetValue& value, const RegistryItem& item) {
    using namespace codes;
    const bool text = item.KeyType == kKeyTypeString || item.KeyType == kKeyTypeExpandString ||
                      item.KeyType == kKeyTypeMultiString;
    if (text && item.Value.empty()) {
        value.op = FleetValue::Op::DeleteValue;
    } else if (item.KeyType == kKeyTypeString) {
        value.type = HoldsPercentPair(item.Value) ? reg::kExpandSz : reg::kSz;
        value.data = Utf16Z(item.Value);
    } else if (item.KeyType == kKeyTypeExpandString) {
        value.type = reg::kExpandSz;
        value.data = Utf16Z(item.Value);
    } else if (item.KeyType == kKeyTypeMultiString) {
        std::string strings = regRunner::MultiStringData(item.Value);
        if (strings.back() != '\0') strings += '\0';
        value.type = reg::kMultiSz;
        value.data = Utf16Z(strings);
    } else if (item.KeyType == kKeyTypeQword) {
        value.type = reg::kQword;
        value.data = LittleEndian(regRunner::ToQword(item.Value), 8);
    } else if (item.KeyType == kKeyTypeBinary) {
        std::string digits = item.Value;
        std::erase(digits, ',');
        value.type = reg::kBinary;
        value.data = regRunner::HexStringToByteArray(digits);
        if (value.data.empty()) throw ErrorRecord(9, "fleet", "the BINARY value holds no bytes");
    } else {
        value.type = reg::kDword;
        value.data = LittleEndian(static_cast<uint32_t>(regRunner::ToDword(item.Value)), 4);
    }
}

}  // namespace

FleetValue ValueOf(const RegistryItem& item) {
    FleetValue value;
    const int32_t root = regRunner::ParseClassKey(item.Key);
    if (root == 0) throw ErrorRecord(26001, "fleet", "no root key name: " + item.Key);
    std::string below = regRunner::ParseSectionKey(item.Key);
    while (!below.empty() && below.back() == '\\') below.pop_back();
    value.key = reg::RootName(root) + (below.empty() ? "" : "\\" + below);
    value.name = item.ValueName;
    SetData(value, item);
    return value;
}

Exported ExportValues(const OptimizationList& entries) {
    Exported exported;
    for (const OptimizationItemPtr& entry : entries) {
        for (size_t i = 0; i < entry->regItems.size(); ++i) {
            try {
                exported.values.push_back(ValueOf(entry->regItems[i]));
            } catch (const ErrorRecord& failure) {
                for (size_t rest = i; rest < entry->regItems.size(); ++rest) {
                    exported.leftOut.push_back(
                        {entry->Number, "registry", entry->regItems[rest].Key,
                         rest == i ? "a run fails here (" + failure.Description + ")"
                                   : "a run stops the entry's registry values before it"});
                }
                break;
            }
        }
        // A start type in the file would be a Start value written whether or not the service
        // exists, outside the Service Control Manager, which this program no longer does; a task's
        // state lives in Task Scheduler's store, which no registry file may edit.
        for (const ServiceItem& service : entry->serviceItems) {
            exported.leftOut.push_back(
                {entry->Number, "service", service.Name + " " + service.StartType,
                 "a service's start type is set through the Service Control Manager, not the "
                 "file (Group Policy sets it under Security Settings, System Services)"});
        }
        for (const TaskItem& task : entry->taskItems) {
            exported.leftOut.push_back({entry->Number, "task", task.Path + " " + task.State,
                                        "a scheduled task's state cannot go into the file"});
        }
        for (const cmdItem& command : entry->cmdItems) {
            exported.leftOut.push_back({entry->Number, "command", command.Command,
                                        "a command line cannot go into the file"});
        }
        for (const wmiItem& query : entry->wmiItems) {
            exported.leftOut.push_back(
                {entry->Number, "wmi", query.Command, "a WMI check cannot go into the file"});
        }
    }
    return exported;
}

bool IsPolicyKey(const std::string& keyBelowRoot) {
    for (const std::string policies :
         {"Software\\Policies", "Software\\Microsoft\\Windows\\CurrentVersion\\Policies"}) {
        if (SameName(keyBelowRoot.substr(0, policies.size()), policies) &&
            (keyBelowRoot.size() == policies.size() || keyBelowRoot[policies.size()] == '\\')) {
            return true;
        }
    }
    return false;
}

}  // namespace fleet
