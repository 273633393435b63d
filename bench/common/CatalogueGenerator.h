#pragma once
// Large catalogues for the benchmarks, made at run time: records with the mix of actions a real
// catalogue has (two registry values, one command line, one WMI query per optimization), and
// the file text for them, built here by hand so that the reader is measured against a file no
// part of the product wrote.

#include <string>

#include "catalogue/OptimizationItem.h"

namespace bench {

// `count` optimizations, numbered 1 to count, every one meant for every Windows version; the
// same records for the same count on every run.
OptimizationList MakeCatalogue(int count);

// The catalogue file for these records, in the writer's layout (declaration, stylesheet
// instruction, two blanks of indentation per level, LF line ends), so that a document built
// to be equivalent to the writer's saves to exactly these bytes.
std::string CatalogueText(const OptimizationList& items);

// Writes bytes to a file, replacing it; false when that fails.
bool WriteFile(const std::string& path, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace bench
