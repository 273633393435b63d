#pragma once
// Writes the registry values of one optimization through cRegistry: root key and key path from
// the item's Key, the value converted to what its KeyType names. The first failure ends the list
// and is logged nowhere; values written before it stay written. An observer, when given, hears of
// every action with what it did to the value. A value under HKEY_CURRENT_USER of a run for
// several users is written for each of them, as one action per user; a failure for any of them
// ends the list after that value.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/EnginePlatform.h"
#include "engine/RunObserver.h"

class cRegistry;

class regRunner {
public:
    // Error numbers of the conversions; nothing logs them, they only end the list.
    static constexpr int32_t kErrInvalidCall = 5;
    static constexpr int32_t kErrOverflow = 6;
    static constexpr int32_t kErrSubscript = 9;
    static constexpr int32_t kErrTypeMismatch = 13;

    explicit regRunner(const EnginePlatform& platform, RunObserver* observer = nullptr)
        : platform_(platform), observer_(observer) {}

    void Run(const std::vector<RegistryItem>& regItems);

    // Two hexadecimal digits per byte, either case, nothing between them. Odd length or any
    // other character raises an ErrorRecord.
    static std::vector<uint8_t> HexStringToByteArray(const std::string& HexString);
    // The root handle that the first piece of Key names, 0 when none; an empty Key raises.
    static int32_t ParseClassKey(const std::string& Key);
    // Every piece after the first, each followed by one backslash.
    static std::string ParseSectionKey(const std::string& Key);
    // A DWORD value text as the 32 bits the registry receives; raises when it is no number or
    // does not fit.
    static int32_t ToDword(const std::string& text);
    // A QWORD value text as the 64 bits the registry receives: a whole decimal number from
    // -2^63 to 2^64 - 1, or "&H" and up to 16 hex digits; raises otherwise.
    static uint64_t ToQword(const std::string& text);
    // A MULTISTRING's Value (its strings one per line, a line end of CR LF or LF) as the
    // strings with a NUL after each but the last.
    static std::string MultiStringData(const std::string& text);
    // Whether ToDword takes the text as a fraction or with an exponent ("2.5", "1e3"), so that
    // the number written is not the digits the text shows.
    static bool IsRoundedDword(const std::string& text);

private:
    struct Destination;
    // Writes the item through one destination and reports it; false when it failed.
    bool WriteTo(Destination& to, const RegistryItem& item, size_t index);
    // False when there was nothing to write: a delete under a key that is not there.
    bool Write(cRegistry& registry, const RegistryItem& item);

    EnginePlatform platform_;
    RunObserver* observer_;
};
