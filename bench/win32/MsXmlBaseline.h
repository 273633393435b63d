#pragma once
// XmlLite and MSXML 6 doing alone what the catalogue reader and writer do through it: its SAX2
// reader parsing a file into handlers that do nothing, and its DOM building the writer's document
// and saving it. COM must be initialised.

#include <string>

#include "catalogue/OptimizationItem.h"

namespace bench {

// The file read into memory and parsed by MSXML 6's SAX2 reader with the reader's settings,
// handed over as the reader hands it (a stream over the bytes), into handlers that do nothing.
bool ParseWithSax(const std::string& path);

// The same bytes through XmlLite alone, as the reader hands them, reading every node and the
// names and texts SAX would hand over; needs no COM.
bool ParseWithXmlLite(const std::string& path);

// Builds the document the writer builds for these records, layout text included, with plain
// DOM calls, and saves it; false when any step fails.
bool SaveWithMsXml(const OptimizationList& items, const std::string& path);

}  // namespace bench
