#pragma once
// Field-by-field comparison of two catalogues, naming the first difference, and what the writer
// and reader do to a value on its way through the file.

#include <cstdint>
#include <string>

#include "catalogue/OptimizationItem.h"

namespace cataloguecheck {

// Empty when both catalogues hold equal records in the same order; else where they differ.
std::string FirstDifference(const OptimizationList& expected, const OptimizationList& actual);

// A value as it comes back from the file: malformed UTF-8 as U+FFFD, characters that XML 1.0
// cannot carry left out, a carriage return (alone or before a line feed) as a line feed, and
// the white space around it trimmed.
std::string ThroughFile(const std::string& value);

// Only the trimming, for values that need no more.
std::string Trimmed(const std::string& value);

// Copies of the records with every text field passed through the given change.
OptimizationList WithTexts(const OptimizationList& records,
                           std::string (*change)(const std::string&));

// A carriage return, alone or before a line feed, as one line feed: what XML makes of line ends.
std::string LineFeeds(const std::string& value);

}  // namespace cataloguecheck
