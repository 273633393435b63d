#pragma once
// The programs' JSON read as a script reads it, parsed rather than searched for text: with the
// console program's own strict reader, the one its undo reads journals with.

#include "cli/Json.h"

namespace json {
using Value = cli::JsonValue;
inline Value Parse(std::string_view text) { return cli::ParseJson(text); }
}  // namespace json
