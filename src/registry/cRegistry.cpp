#include "registry/cRegistry.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

#include "env/GlobalUtils.h"
#include "platform/HexText.h"

namespace {

// Byte arrays in messages: hex pairs separated by commas, the catalogue's own form.
std::string QuoteForMessage(const Variant& v) {
    if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&v)) {
        return HexText(*bytes, ",");
    }
    return VariantToText(v);
}

// REG_EXPAND_SZ is chosen when a "%" is followed, two or more characters later, by another.
// A byte-wise search gives the same answer for UTF-8: only the byte right after the first "%"
// is skipped, and that is either the adjacent "%" or the start of a character.
bool HoldsPercentPair(const std::string& text) {
    const size_t first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

std::string TwoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

// A key path that names the root itself: deleting it would empty the whole root.
bool NamesRoot(const std::string& path) {
    return path.find_first_not_of('\\') == std::string::npos;
}

}  // namespace

LocalDateTime LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    // The reentrant form: the console program's Ctrl+C handler runs on a thread of its own.
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) return {};
#else
    if (localtime_r(&now, &local) == nullptr) return {};
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

cRegistry::cRegistry(Registry& registry, GlobalUtils& utils, LocalTimeSource now)
    : registry_(registry), utils_(utils), now_(std::move(now)) {}

// Whether the program runs under WOW64 cannot change while it runs: asked once per object. A
// 64-bit program names the 64-bit view too, which is its own: a journal then records the view
// that was written whichever build wrote it, and the 32-bit build undoes it in the same view.
uint32_t cRegistry::ViewFlag() {
    if (!viewAsked_) {
        constexpr bool k64BitProgram = sizeof(void*) == 8;
        viewFlag_ = k64BitProgram || utils_.Is64bit() ? reg::kWow64_64Key : 0;
        viewAsked_ = true;
    }
    return viewFlag_;
}

std::string cRegistry::ErrorSource() { return utils_.ExecutableName() + ".cRegistry"; }

void cRegistry::Raise(int32_t number, const std::string& description, int32_t systemCode) {
    if (systemCode == 0) throw ErrorRecord(number, ErrorSource(), description);
    const auto code = static_cast<uint32_t>(systemCode);
    throw ErrorRecord(number, ErrorSource(), description, code, utils_.ErrorText(code));
}

std::string cRegistry::SetValueMessage(const Variant& vValue) const {
    return "Failed to set registry value Key: '" + std::to_string(classKey_) + "',Section: '" +
           sectionKey_ + "',Key: '" + valueKey_ + "' to value: '" + QuoteForMessage(vValue) + "'";
}

Variant cRegistry::ValueByName(const std::string& sName, const Variant& vDefault) {
    if (!IsEmpty(vDefault)) default_ = vDefault;
    valueKey_ = sName;
    return Value();
}

void cRegistry::SetValueByName(const std::string& sName, int32_t lType, const Variant& newValue) {
    valueKey_ = sName;
    valueType_ = lType;
    Value(newValue);
}

void cRegistry::SetExactValueByName(const std::string& sName, int32_t lType,
                                    const Variant& newValue) {
    exact_ = true;
    try {
        SetValueByName(sName, lType, newValue);
    } catch (...) {
        exact_ = false;
        throw;
    }
    exact_ = false;
}

bool cRegistry::KeyExists() {
    OwnedKey key(reg::OpenedKey{&registry_});
    return registry_.OpenKey(Root(), sectionKey_, reg::kQueryValue | ViewFlag(), *key.Put()) ==
           reg::kSuccess;
}

bool cRegistry::KeyMissing() {
    OwnedKey key(reg::OpenedKey{&registry_});
    return registry_.OpenKey(Root(), sectionKey_, reg::kQueryValue | ViewFlag(), *key.Put()) ==
           reg::kFileNotFound;
}

bool cRegistry::CreateKey() {
    OwnedKey key(reg::OpenedKey{&registry_});
    const int32_t made =
        registry_.CreateKey(Root(), sectionKey_, reg::kAllSpecificRights | ViewFlag(), *key.Put());
    if (made != reg::kSuccess)
        Raise(kErrRegistry, "Failed to create registry Key: '" + sectionKey_, made);
    return true;
}

bool cRegistry::DeleteValue() {
    OwnedKey key(reg::OpenedKey{&registry_});
    const int32_t opened =
        registry_.OpenKey(Root(), sectionKey_, reg::kAllSpecificRights | ViewFlag(), *key.Put());
    if (opened != reg::kSuccess) {
        Raise(kErrRegistry,
              "Failed to open key '" + std::to_string(classKey_) + "',Section: '" + sectionKey_ +
                  "' for delete access",
              opened);
    }
    return registry_.DeleteValue(key.Get(), valueKey_) == reg::kSuccess;
}

Variant cRegistry::Value() {
    OwnedKey key(reg::OpenedKey{&registry_});
    if (registry_.OpenKey(Root(), sectionKey_, reg::kQueryValue | ViewFlag(), *key.Put()) !=
        reg::kSuccess) {
        return default_;
    }
    uint32_t type = 0;
    uint32_t size = 0;
    const int32_t probe = registry_.QueryValue(key.Get(), valueKey_, type, nullptr, size);
    if (probe != reg::kSuccess && probe != reg::kMoreData) return default_;

    valueType_ = static_cast<int32_t>(type);
    // The stored bytes; DWORD types read at least four so that missing bytes count as 0.
    auto read = [&](uint32_t minimum) {
        std::vector<uint8_t> data(std::max(size, minimum), 0);
        uint32_t got = size;
        registry_.QueryValue(key.Get(), valueKey_, type, data.data(), got);
        return data;
    };
    auto asText = [](std::vector<uint8_t> data) {
        if (!data.empty() && data.back() == 0) data.pop_back();
        return std::string(data.begin(), data.end());
    };
    auto asDword = [](const std::vector<uint8_t>& data) {
        return static_cast<int32_t>(uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                                    uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24);
    };

    switch (type) {
        case reg::kSz:
        case reg::kMultiSz:
            if (size <= 1) return std::string();
            return asText(read(0));
        case reg::kExpandSz: return ExpandEnvironmentText(asText(read(0)));
        case reg::kDword: return asDword(read(4));
        case reg::kDwordBigEndian: return SwapByteOrder(asDword(read(4)));
        default: return read(0);
    }
}

int32_t cRegistry::WriteValue(RegKey key, const Variant& vValue) {
    switch (valueType_) {
        case reg::kSz:
        case reg::kExpandSz:
        case reg::kMultiSz: {
            std::string text = VariantToText(vValue);
            if (text.empty()) {
                // Through the key the write opened, in the view writes go to.
                registry_.DeleteValue(key, valueKey_);
                return reg::kSuccess;
            }
            uint32_t type = static_cast<uint32_t>(valueType_);
            if (type != reg::kMultiSz && !exact_) {
                type = HoldsPercentPair(text) ? reg::kExpandSz : reg::kSz;
            }
            if (type == reg::kMultiSz && text.back() != '\0') text += '\0';
            return registry_.SetValue(key, valueKey_, type,
                                      reinterpret_cast<const uint8_t*>(text.c_str()),
                                      static_cast<uint32_t>(text.size() + 1));
        }
        case reg::kQword: {
            const auto* bytes = std::get_if<std::vector<uint8_t>>(&vValue);
            if (bytes == nullptr || bytes->size() != 8)
                Raise(kErrRegistry, SetValueMessage(vValue));
            return registry_.SetValue(key, valueKey_, reg::kQword, bytes->data(), 8);
        }
        case reg::kBinary: {
            const auto* bytes = std::get_if<std::vector<uint8_t>>(&vValue);
            if (bytes == nullptr) Raise(kErrRegistry, SetValueMessage(vValue));
            if (bytes->empty())
                throw ErrorRecord(kErrSubscript, utils_.ExecutableName(), "Subscript out of range");
            return registry_.SetValue(key, valueKey_, reg::kBinary, bytes->data(),
                                      static_cast<uint32_t>(bytes->size()));
        }
        case reg::kDword:
        case reg::kDwordBigEndian: {
            int32_t number = 0;
            if (const auto* small = std::get_if<int16_t>(&vValue)) {
                number = *small;
            } else if (const auto* large = std::get_if<int32_t>(&vValue)) {
                number = *large;
            } else {
                return reg::kSuccess;
            }
            const auto bits = static_cast<uint32_t>(number);
            const std::array<uint8_t, 4> data{
                static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
            return registry_.SetValue(key, valueKey_, reg::kDword, data.data(), 4);
        }
        default: return reg::kInvalidData;
    }
}

void cRegistry::Value(const Variant& vValue) {
    const uint32_t access = reg::kAllSpecificRights | ViewFlag();
    // A key held from the write before is used again; should the write fail there (the key
    // deleted meanwhile), it is made afresh, as an unheld write does, and the write tried again.
    for (bool fresh = !written_.For(Root(), sectionKey_, access);; fresh = true) {
        if (fresh) {
            RegKey key = 0;
            written_.Close();
            const int32_t made = registry_.CreateKey(Root(), sectionKey_, access, key);
            if (made != reg::kSuccess) Raise(kErrRegistry, SetValueMessage(vValue), made);
            written_.Hold(key, Root(), sectionKey_, access);
        }
        int32_t result = reg::kSuccess;
        try {
            result = WriteValue(written_.Get(), vValue);
        } catch (...) {
            written_.Close();
            throw;
        }
        if (result == reg::kSuccess) {
            if (!hold_) written_.Close();
            return;
        }
        written_.Close();
        if (fresh) Raise(kErrSetValue, SetValueMessage(vValue), result);
    }
}

int32_t cRegistry::SwapByteOrder(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>((bits >> 24) | ((bits >> 8) & 0xFF00u) | ((bits << 8) & 0xFF0000u) |
                                (bits << 24));
}

std::string cRegistry::ExpandEnvironmentText(const std::string& text) {
    const uint32_t needed = registry_.ExpandEnvironment(text, nullptr, 0);
    if (needed < 1) return {};
    std::string expanded(needed - 1, '\0');
    // The string's own terminator gives the call room for its NUL.
    const uint32_t written = registry_.ExpandEnvironment(text, expanded.data(), needed);
    if (written < 1 || written > needed) return {};
    expanded.resize(written - 1);
    return expanded;
}

bool cRegistry::CanReadValue() {
    try {
        (void)VariantToText(Value());
        return true;
    } catch (...) {
        return false;
    }
}

bool cRegistry::CanCreateSubKey(const std::string& sSectionKey) {
    const LocalDateTime t = now_ ? now_() : LocalDateTime{};
    char year[16];
    std::snprintf(year, sizeof year, "%04d", t.year);
    const std::string probe = "TESTKEY-" + std::string(year) + TwoDigits(t.month) +
                              TwoDigits(t.day) + TwoDigits(t.hour) + TwoDigits(t.minute) +
                              TwoDigits(t.second);
    sectionKey_ = sSectionKey + "\\" + probe;
    try {
        CreateKey();
    } catch (...) {
        return false;
    }
    try {
        DeleteSection({});
    } catch (...) {
    }
    return true;
}

bool cRegistry::DeleteSection(const std::string& sKeyForInternalRecursionOnly) {
    written_.Close();  // no handle of ours keeps a key that is to go
    const std::string section =
        sKeyForInternalRecursionOnly.empty() ? sectionKey_ : sKeyForInternalRecursionOnly;
    if (NamesRoot(section)) {
        Raise(kErrRegistry, "Refused to delete registry Key: '" + std::to_string(classKey_) +
                                "',Section: '" + section +
                                "': the section names the root key itself");
    }
    sectionKey_ = section;
    std::vector<std::string> subKeys;
    int32_t count = 0;
    EnumerateSections(subKeys, count);
    for (int32_t i = 0; i < count; ++i) DeleteSection(section + "\\" + subKeys[i]);
    sectionKey_ = section;
    if (!KeyExists()) return false;
    const int32_t deleted = registry_.DeleteKey(Root(), section, ViewFlag());
    if (deleted != reg::kSuccess) {
        Raise(kErrRegistry,
              "Failed to delete registry Key: '" + std::to_string(classKey_) + "',Section: '" +
                  section + "'",
              deleted);
    }
    return true;
}

int32_t cRegistry::lConnectRegHKLM(const std::string& sMachine) {
    RegKey key = 0;
    if (registry_.ConnectRegistry("\\\\" + sMachine, reg::RootKey(reg::kLocalMachine), key) !=
        reg::kSuccess) {
        return 0;
    }
    // Handles travel as 32-bit integers and are sign-extended back. One that would not come back
    // whole (possible only in a 64-bit build) is no handle to hand out.
    const auto handle = static_cast<int32_t>(static_cast<intptr_t>(key));
    if (reg::RootKey(handle) != key) {
        registry_.CloseKey(key);
        return 0;
    }
    return handle;
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, int32_t& iKeyCount) {
    iKeyCount = 0;
    sKeyNames.clear();
    OwnedKey key(reg::OpenedKey{&registry_});
    if (registry_.OpenKey(Root(), sectionKey_, reg::kQueryValue | ViewFlag(), *key.Put()) !=
        reg::kSuccess) {
        return true;
    }
    uint32_t longest = 0;
    if (registry_.QueryInfoKey(key.Get(), longest) != reg::kSuccess) return true;
    std::vector<char> name(size_t{longest} + 1);
    for (uint32_t index = 0;; ++index) {
        uint32_t length = longest + 1;
        if (registry_.EnumValue(key.Get(), index, name.data(), length) != reg::kSuccess) break;
        sKeyNames.emplace_back(name.data(), std::min<size_t>(length, name.size()));
        ++iKeyCount;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, int32_t& iSectCount) {
    // Room for any key name (255 UTF-16 units) in UTF-8, three bytes each at most, and its NUL.
    constexpr uint32_t kNameBuffer = 255 * 3 + 1;
    iSectCount = 0;
    sSect.clear();
    OwnedKey key(reg::OpenedKey{&registry_});
    int32_t result =
        registry_.OpenKey(Root(), sectionKey_, reg::kEnumerateSubKeys | ViewFlag(), *key.Put());
    std::vector<char> name(kNameBuffer);
    for (uint32_t index = 0; result == reg::kSuccess; ++index) {
        std::fill(name.begin(), name.end(), '\0');
        result = registry_.EnumKey(key.Get(), index, name.data(), kNameBuffer);
        if (result == reg::kSuccess) {
            ++iSectCount;
            sSect.emplace_back(name.begin(), std::find(name.begin(), name.end(), '\0'));
        }
    }
    return true;
}

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription,
                                     const std::string& sAssociation, int32_t lDefaultIconIndex) {
    const std::string command = sExePath + " \"%1\"";
    auto write = [&](const std::string& section, const std::string& text) {
        sectionKey_ = section;
        valueKey_.clear();
        Value(text);
    };
    classKey_ = reg::kClassesRoot;
    write("." + sAssociation, sClassName);
    write("." + sAssociation + "\\shell\\open\\command", command);
    write(sClassName, sClassDescription);
    write(sClassName + "\\shell\\open\\command", command);
    if (lDefaultIconIndex > -1) {
        write(sClassName + "\\DefaultIcon", sExePath + "," + std::to_string(lDefaultIconIndex));
    }
}
