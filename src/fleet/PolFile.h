#pragma once
// Group Policy registry files (Registry.pol): "PReg", version 1, then records
// [key;value;type;size;data] with the brackets, semicolons, key and value name in UTF-16LE. A
// value name "**del.NAME" deletes NAME.

#include <string>
#include <vector>

#include "fleet/FleetValue.h"

namespace fleet {

inline constexpr const char* kDeletePrefix = "**del.";

// The records as a file (keys below the file's root; a DeleteValue as "**del.NAME").
std::string WritePolFile(const std::vector<FleetValue>& records);

// The records of a file as they stand, "**del." names and all, each at its byte offset. An empty
// file holds none. Throws FormatError at the offset where the file stops being one.
std::vector<FleetValue> ReadPolFile(const std::string& bytes);

// A record's value name without "**del.", letter case kept.
std::string PolValueName(const FleetValue& record);

// The existing records with ours taken in: a record of theirs for the same key and value (set or
// deleted) goes, ours follow theirs in our order; with remove, ours only take theirs out.
std::vector<FleetValue> MergePol(const std::vector<FleetValue>& theirs,
                                 const std::vector<FleetValue>& ours, bool remove);

}  // namespace fleet
