#pragma once
// Regedit files: "Windows Registry Editor Version 5.00" (UTF-16LE with its byte-order mark) and
// "REGEDIT4" (the ANSI code page, here windows-1252).

#include <string>
#include <vector>

#include "fleet/FleetValue.h"

namespace fleet {

// The values as a version 5.00 file, CR LF line ends, byte-order mark first; a key's header
// again wherever the key changes, so that the values keep their order.
std::string WriteRegFile(const std::vector<FleetValue>& values);

// Every value, value delete and key delete of the file, in order; keys with their root's full
// name. Throws FormatError at the line where the file stops being a regedit file.
std::vector<FleetValue> ReadRegFile(const std::string& bytes);

}  // namespace fleet
