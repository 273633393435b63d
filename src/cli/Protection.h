#pragma once
// What the console program says about whom it trusts: the catalogue's protection before it is
// read, and the programs of command lines that a search finds rather than a full path names.

#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Report.h"

class FileSecurity;

namespace cli {

// Judges the catalogue before it is read and adds what it found to problems: an error when the
// program runs elevated (apply then stops unless --trust-catalogue), a warning otherwise.
// False when the catalogue must not be read.
bool CheckProtection(FileSecurity& security, const Options& options, Report& report,
                     std::vector<Problem>& problems);

// plan: a warning for each command whose program the search found outside the system folders
// (searchFolders as ProgramSearch gives them).
void WarnSearchedPrograms(Report& report, const std::vector<std::string>& searchFolders);

}  // namespace cli
