#include "catalogue/Codes.h"

#include <array>
#include <charconv>
#include <limits>
#include <stdexcept>

#include "catalogue/OptimizationItem.h"

namespace codes {
namespace {

struct Code {
    const char* identifier;
    const char* displayName;
};

// Indexed by code. Every display name without blanks, upper-cased, is its identifier: that is
// what lets the writer's names read back to the same codes.
constexpr std::array<Code, 19> kVersions{{
    {"WINDOWS2000", "Windows 2000"},
    {"WINDOWSXP", "Windows XP"},
    {"WINDOWSSERVER2003", "Windows Server 2003"},
    {"WINDOWSVISTA", "Windows Vista"},
    {"WINDOWSSERVER2008", "Windows Server 2008"},
    {"WINDOWS7", "Windows 7"},
    {"WINDOWSSERVER2003R2", "Windows Server 2003 R2"},
    {"ALL", "All"},
    {"WINDOWS8", "Windows 8"},
    {"WINDOWSSERVER2012", "Windows Server 2012"},
    {"WINDOWSSERVER2008R2", "Windows Server 2008 R2"},
    {"WINDOWS8.1", "Windows 8.1"},
    {"WINDOWSSERVER2012R2", "Windows Server 2012 R2"},
    {"WINDOWS10", "Windows 10"},
    {"WINDOWSSERVER2016", "Windows Server 2016"},
    {"WINDOWSSERVER2019", "Windows Server 2019"},
    {"WINDOWSSERVER2022", "Windows Server 2022"},
    {"WINDOWS11", "Windows 11"},
    {"WINDOWSSERVER2025", "Windows Server 2025"},
}};

constexpr std::array<Code, 3> kModes{{
    {"HIDEF", "HiDef"},
    {"NORMAL", "Normal"},
    {"BASIC", "Basic"},
}};

struct StartName {
    const char* name;
    ServiceStart start;
};

// In the order the names are listed to the user.
constexpr std::array<StartName, 6> kStartTypes{{
    {"Automatic", {services::kAutomatic, false}},
    {"AutomaticDelayed", {services::kAutomatic, true}},
    {"Manual", {services::kManual, false}},
    {"Disabled", {services::kDisabled, false}},
    {"Boot", {services::kBoot, false}},
    {"System", {services::kSystem, false}},
}};

}  // namespace

std::optional<ServiceStart> ServiceStartByName(const std::string& name) {
    const std::string upper = UpperAscii(name);
    for (const StartName& type : kStartTypes) {
        if (upper == UpperAscii(type.name)) return type.start;
    }
    return std::nullopt;
}

std::optional<bool> TaskEnabledByName(const std::string& name) {
    const std::string upper = UpperAscii(name);
    if (upper == "ENABLED") return true;
    if (upper == "DISABLED") return false;
    return std::nullopt;
}

std::string StartTypeNameList() {
    std::string list;
    for (size_t i = 0; i < kStartTypes.size(); ++i) {
        if (i > 0) list += i + 1 == kStartTypes.size() ? " or " : ", ";
        list += kStartTypes[i].name;
    }
    return list;
}

std::string StartTypeName(const ServiceStart& start) {
    for (const StartName& type : kStartTypes) {
        if (type.start == start) return type.name;
    }
    return std::string();
}

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

int32_t SetOSVersion(const std::string& Value) {
    const std::string upper = UpperAscii(Value);
    for (size_t code = 0; code < kVersions.size(); ++code) {
        if (upper == kVersions[code].identifier) return static_cast<int32_t>(code);
    }
    return kWindows2000;
}

bool KnownVersion(int32_t osVersion) {
    return osVersion >= 0 && osVersion < static_cast<int32_t>(kVersions.size());
}

bool KnownMode(int32_t mode) { return mode >= 0 && mode < static_cast<int32_t>(kModes.size()); }

std::string GetOSString(int32_t osVersion) {
    if (!KnownVersion(osVersion)) {
        throw std::out_of_range("Windows version code out of range");
    }
    return kVersions[static_cast<size_t>(osVersion)].displayName;
}

int32_t FormerCode(int32_t machine) {
    switch (machine) {
        case kWindows81:
        case kWindows10:
        case kWindows11: return kWindows8;
        case kWindowsServer2012R2:
        case kWindowsServer2016:
        case kWindowsServer2019:
        case kWindowsServer2022:
        case kWindowsServer2025: return kWindowsServer2012;
        case kWindowsServer2008R2: return kWindowsServer2008;
        default: return -1;
    }
}

bool IsOffered(const VersionList& osVersions, int32_t machine) {
    const int32_t former = FormerCode(machine);
    bool formerOffers = false;
    for (int32_t version : osVersions) {
        if (version == machine || version == kAll) return true;
        if (version == former) formerOffers = true;
    }
    if (!formerOffers) return false;
    // An entry that names a later version of its own says exactly where it holds; one that names
    // none was written before those versions had names, and holds on them as before.
    for (int32_t version : osVersions) {
        if (version != former && FormerCode(version) == former) return false;
    }
    return true;
}

int32_t SetMode(const std::string& Value) {
    const std::string upper = UpperAscii(Value);
    if (upper == "BASIC") return kModeBasic;
    if (upper == "NORMAL") return kModeNormal;
    return kModeHiDef;  // "HIDEF" and every unrecognised name
}

std::string GetMode(int32_t mode) {
    if (!KnownMode(mode)) {
        throw std::out_of_range("mode code out of range");
    }
    return kModes[static_cast<size_t>(mode)].displayName;
}

std::optional<int16_t> PlainNumber(const std::string& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    size_t digits = text[0] == '-' ? 1 : 0;
    if (digits == text.size()) return std::nullopt;
    if (text[digits] == '0' && (text.size() > digits + 1 || digits == 1)) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(value);
}

}  // namespace codes

int32_t RegistryItem::SetKeyType(const std::string& Value) {
    return codes::KeyTypeByName(Value).value_or(codes::kKeyTypeDword);  // unknown: DWORD
}

std::string RegistryItem::GetKeyType(int32_t Value) {
    const codes::ValueType* type = codes::TypeByKeyType(Value);
    return type ? type->keyName : std::string();
}
