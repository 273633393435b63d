#pragma once
// The hostile catalogues and what a silent run must make of each: the committed ones in corpus/
// (their registry key written @KEY@, seeds of the reader's fuzz target too) and ones made here.

#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

// What a run does with a catalogue: applies it as it should, applies nothing at all, or (where
// parsers may differ) one of the two but never part of it.
enum class Outcome { Applied, Nothing, AppliedOrNothing };

// A registry value under the case's own key after the run; absent when type is 0.
struct ValueCheck {
    std::string subKey;  // below the case's key, empty for the key itself
    std::string name;
    uint32_t type = 0;          // 1 REG_SZ, 3 REG_BINARY, 4 REG_DWORD
    std::vector<uint8_t> data;  // REG_SZ: the UTF-8 text without its NUL
};

struct HostileCase {
    std::string name;
    std::string bytes;  // the whole file
    Outcome outcome = Outcome::Applied;
    std::vector<ValueCheck> values;  // checked when the catalogue was applied
    uint32_t valueCount = 0;         // values under the key itself when applied; 0 unchecked
};

// Text no run may ever write: the content of the files the catalogues point at.
inline constexpr const char* kSecret = "LEAKED-SECRET";

// Every case, with key (a full registry path, root name first) in place of @KEY@. corpus is the
// folder of the committed catalogues.
std::vector<HostileCase> Cases(const std::string& corpus, const std::string& key);

// The files the hostile catalogues point at, to be laid beside the catalogue: name and content.
std::vector<std::pair<std::string, std::string>> Bait();

}  // namespace hostile
