#include "engine/regRunner.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <list>
#include <optional>

#include "catalogue/Codes.h"
#include "catalogue/Values.h"
#include "engine/RegistryTap.h"
#include "engine/Reports.h"
#include "registry/cRegistry.h"

namespace {

using codes::kKeyTypeBinary;
using codes::kKeyTypeDword;
using codes::kKeyTypeExpandString;
using codes::kKeyTypeMultiString;
using codes::kKeyTypeQword;
using codes::kKeyTypeString;

[[noreturn]] void Raise(int32_t number, const std::string& description) {
    throw ErrorRecord(number, "regRunner", description);
}

}  // namespace

namespace {

// The conversion's value, or its fault raised with the number the readers gave it.
template <typename Value>
Value Taken(catalogue::Converted<Value> converted) {
    using catalogue::ValueFault;
    switch (converted.fault) {
        case ValueFault::None: return std::move(converted.value);
        case ValueFault::TypeMismatch:
            Raise(regRunner::kErrTypeMismatch, catalogue::FaultText(converted.fault));
        case ValueFault::Overflow:
            Raise(regRunner::kErrOverflow, catalogue::FaultText(converted.fault));
        case ValueFault::InvalidCall:
            Raise(regRunner::kErrInvalidCall, catalogue::FaultText(converted.fault));
        case ValueFault::OutOfRange: break;
    }
    Raise(regRunner::kErrSubscript, catalogue::FaultText(converted.fault));
}

}  // namespace

int32_t regRunner::ToDword(const std::string& text) { return Taken(catalogue::DwordOf(text)); }

bool regRunner::IsRoundedDword(const std::string& text) { return catalogue::IsRoundedDword(text); }

uint64_t regRunner::ToQword(const std::string& text) { return Taken(catalogue::QwordOf(text)); }

std::string regRunner::MultiStringData(const std::string& text) {
    std::string data;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        data += text[i] == '\n' ? '\0' : text[i];
    }
    return data;
}

std::vector<uint8_t> regRunner::HexStringToByteArray(const std::string& HexString) {
    return Taken(catalogue::BytesOf(HexString));
}

int32_t regRunner::ParseClassKey(const std::string& Key) { return Taken(catalogue::RootOf(Key)); }

std::string regRunner::ParseSectionKey(const std::string& Key) { return catalogue::SubKeyOf(Key); }

// One place the list is written to: a registry object of its own for the whole list, so that
// values in a row under one key are written through one open key, and, when the run is watched,
// the tap that notes what each write did.
struct regRunner::Destination {
    Destination(Registry& registry, GlobalUtils& utils, bool watched, std::string forUser)
        : user(std::move(forUser)),
          tap(watched ? std::optional<RegistryTap>(std::in_place, registry) : std::nullopt),
          values(tap ? static_cast<Registry&>(*tap) : registry, utils), held(values) {}

    std::string user;
    std::optional<RegistryTap> tap;
    cRegistry values;
    cRegistry::HeldWrites held;
};

bool regRunner::Write(cRegistry& registry, const RegistryItem& item) {
    registry.ClassKey(ParseClassKey(item.Key));
    registry.SectionKey(ParseSectionKey(item.Key));
    // Empty text deletes; cRegistry would make the key's path first, leaving empty keys behind
    // for a value that was never there.
    const bool text = item.KeyType == kKeyTypeString || item.KeyType == kKeyTypeExpandString ||
                      item.KeyType == kKeyTypeMultiString;
    if (text && item.Value.empty() && registry.KeyMissing()) return false;
    if (item.KeyType == kKeyTypeString) {
        registry.SetValueByName(item.ValueName, reg::kSz, Variant(item.Value));
    } else if (item.KeyType == kKeyTypeExpandString) {
        registry.SetExactValueByName(item.ValueName, reg::kExpandSz, Variant(item.Value));
    } else if (item.KeyType == kKeyTypeMultiString) {
        registry.SetExactValueByName(item.ValueName, reg::kMultiSz,
                                     Variant(MultiStringData(item.Value)));
    } else if (item.KeyType == kKeyTypeQword) {
        const uint64_t bits = ToQword(item.Value);
        std::vector<uint8_t> bytes(8);
        for (size_t i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
        registry.SetExactValueByName(item.ValueName, reg::kQword, Variant(bytes));
    } else if (item.KeyType == kKeyTypeDword) {
        registry.SetValueByName(item.ValueName, reg::kDword, Variant(ToDword(item.Value)));
    } else if (item.KeyType == kKeyTypeBinary) {
        std::string digits;
        for (char c : item.Value) {
            if (c != ',') digits += c;
        }
        registry.SetValueByName(item.ValueName, reg::kBinary,
                                Variant(HexStringToByteArray(digits)));
    }
    return true;
}

bool regRunner::WriteTo(Destination& to, const RegistryItem& item, size_t index) {
    if (to.tap) to.tap->Begin();
    ActionRecord record = reports::For(item, index, ActionRecord::Outcome::Done);
    bool written = true;
    bool reached = true;
    try {
        reached = Write(to.values, item);
    } catch (...) {
        // Registry failures are not logged: the log holds failed commands and queries only, and
        // the scripts that read it after -RUN rely on that.
        record.outcome = ActionRecord::Outcome::Failed;
        record.error = reports::CurrentError("regRunner");
        written = false;
    }
    if (observer_) {
        if (to.tap) record.change = to.tap->Take();
        if (to.tap && !reached) {
            // Absent before and after, and no key made.
            record.change.emplace();
            record.change->root = ParseClassKey(item.Key);
            record.change->subKey = RegistryTap::KeyPath(ParseSectionKey(item.Key));
            record.change->valueName = item.ValueName;
        }
        record.user = to.user;
        observer_->Reported(record);
    }
    return written;
}

void regRunner::Run(const std::vector<RegistryItem>& regItems) {
    if (regItems.empty()) return;
    // Made at the list's first action: the registry itself, then one destination per user.
    GlobalUtils utils(platform_.env);
    const bool watched = observer_ != nullptr && observer_->WatchesChanges();
    std::list<Destination> destinations;
    destinations.emplace_back(platform_.registry, utils, watched, "");
    for (const UserTarget& target : platform_.users) {
        destinations.emplace_back(*target.registry, utils, watched, target.user);
    }
    const auto destinationsOf = [&](const RegistryItem& item) {
        std::vector<Destination*> of;
        const bool forUsers = !platform_.users.empty() && !item.Key.empty() &&
                              ParseClassKey(item.Key) == reg::kCurrentUser;
        for (Destination& to : destinations) {
            if (forUsers != to.user.empty()) of.push_back(&to);
        }
        return of;
    };

    for (size_t index = 0; index < regItems.size(); ++index) {
        bool failed = false;
        for (Destination* to : destinationsOf(regItems[index])) {
            failed = !WriteTo(*to, regItems[index], index) || failed;
        }
        if (!failed) continue;
        // The run goes on with the commands; the rest of this list is left undone.
        for (size_t rest = index + 1; observer_ && rest < regItems.size(); ++rest) {
            for (const Destination* to : destinationsOf(regItems[rest])) {
                ActionRecord record =
                    reports::For(regItems[rest], rest, ActionRecord::Outcome::Skipped);
                record.user = to->user;
                observer_->Reported(record);
            }
        }
        return;
    }
}
