#pragma once
// MSXML 6 doing alone what the catalogue reader and writer do through the document object:
// loading a file, and building the writer's document and saving it. COM must be initialised.

#include <string>

#include "catalogue/OptimizationItem.h"

namespace bench {

// A fresh DOMDocument with the reader's settings loads the file; false when it does not.
bool LoadWithMsXml(const std::string& path);
// The same, MSXML reading the file's bytes from memory (as the reader hands them over) rather
// than opening the file itself.
bool LoadBytesWithMsXml(const std::string& path);

// Builds the document the writer builds for these records, layout text included, with plain
// DOM calls, and saves it; false when any step fails.
bool SaveWithMsXml(const OptimizationList& items, const std::string& path);

}  // namespace bench
