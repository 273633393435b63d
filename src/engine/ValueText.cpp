#include "engine/ValueText.h"

#include "engine/SystemRunners.h"

#include <iterator>

#include "catalogue/ValueTypes.h"
#include "platform/HexText.h"
#include "platform/Registry.h"

namespace engine {

std::string StateText(const RegistryData& value) {
    if (!value.present) return "(absent)";
    if (value.type == reg::kMultiSz) {
        std::string strings;
        for (const std::string& each : MultiStrings(value)) {
            strings += (strings.empty() ? " \"" : ", \"") + each + "\"";
        }
        return TypeName(value.type) + (strings.empty() ? " (no strings)" : strings);
    }
    const std::string data = DataText(value);
    return TypeName(value.type) + " " + (reg::IsTextType(value.type) ? "\"" + data + "\"" : data);
}

std::vector<std::string> MultiStrings(const RegistryData& value) {
    std::vector<std::string> strings(1);
    for (const uint8_t byte : value.data) {
        if (byte == 0) {
            strings.emplace_back();
        } else {
            strings.back() += static_cast<char>(byte);
        }
    }
    // The last string's NUL, then the list's own.
    for (int end = 0; end < 2 && !strings.empty() && strings.back().empty(); ++end) {
        strings.pop_back();
    }
    return strings;
}

std::string ValueNameText(const std::string& name) { return name.empty() ? "(Default)" : name; }

std::string DescriptionText(const ErrorRecord& error) {
    std::string text = error.Description;
    for (const reg::NamedRoot& root : reg::kRootNames) {
        std::string number(1, '\'');
        number.append(std::to_string(root.root)).push_back('\'');
        std::string name(1, '\'');
        name.append(root.name).push_back('\'');
        for (size_t at = 0; (at = text.find(number, at)) != std::string::npos;) {
            text.replace(at, number.size(), name);
        }
    }
    return text;
}

std::string DataText(const RegistryData& value) {
    const auto& bytes = value.data;
    if (reg::IsTextType(value.type)) {
        std::string text(bytes.begin(), bytes.end());
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    if (value.type == reg::kDword && bytes.size() == 4) {
        const uint32_t number =
            bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
        return std::to_string(number);
    }
    if (value.type == reg::kQword && bytes.size() == 8) {
        uint64_t number = 0;
        for (size_t i = 8; i-- > 0;) number = number << 8 | bytes[i];
        return std::to_string(number);
    }
    return HexText(bytes, ",");
}

std::string TypeName(uint32_t type) { return codes::TypeNameOf(type); }

std::string KeyText(int32_t root, const std::string& subKey) {
    const std::string rootText = reg::RootName(root);
    return subKey.empty() ? rootText : rootText + "\\" + subKey;
}

std::string SystemText(const ActionRecord& record) {
    const bool service = record.kind == ActionRecord::Kind::Service;
    std::string line = service ? record.service->Name : record.task->Path;
    if (record.absent) return line + ": not on this machine";
    if (!record.system) return line;
    const SystemChange& state = *record.system;
    const auto taskState = [](bool enabled) { return enabled ? "Enabled" : "Disabled"; };
    line += service ? ": " + ServiceRunner::StartName(state.before) + " -> " +
                          ServiceRunner::StartName(state.after)
                    : std::string(": ") + taskState(state.enabledBefore) + " -> " +
                          taskState(state.enabledAfter);
    if (service && state.running) line += state.stopped ? ", running -> stopped" : ", running";
    return line;
}

}  // namespace engine
