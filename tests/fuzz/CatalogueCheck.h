#pragma once
// What the catalogue tests compare and where the fuzz targets keep their files.

#include <string>

#include "catalogue/OptimizationItem.h"

namespace cataloguecheck {

// One line per record, every field but the positions in order, every byte that is not plain
// printable ASCII shown as \xNN: equal dumps mean equal records, and a difference is readable.
// lineFeeds: each carriage return (alone or before a line feed) dumped as one line feed, as XML
// reads line ends.
std::string Dump(const OptimizationList& records, bool lineFeeds = false);

// Empty when two dumps are equal; else their first differing lines.
std::string FirstDifference(const std::string& expected, const std::string& actual);

// A file of this process's own, in a memory-backed folder where there is one (a disk folder
// makes a round trip a hundred times slower); removed at exit.
const std::string& ScratchFile();
std::string Contents(const std::string& path);

}  // namespace cataloguecheck
