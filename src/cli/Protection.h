#pragma once
// What the console program says about whom it trusts: the catalogue's protection before it is
// read, and the programs of command lines that a search finds rather than a full path names.

#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Report.h"

class FileSecurity;
class SystemInfo;

namespace cli {

// Judges the catalogue before it is read and adds what it found to problems: an error when the
// program runs elevated (apply then stops unless --trust-catalogue), a warning otherwise.
// False when the catalogue must not be read.
bool CheckProtection(FileSecurity& security, const Options& options, Report& report,
                     std::vector<Problem>& problems);

// What the account can do against what the entries that run need. Not elevated, with anything
// but HKEY_CURRENT_USER: apply stops before it changes anything (an error), plan and validate
// warn. As SYSTEM, with HKEY_CURRENT_USER values and --user current: a warning.
void CheckAccount(const OptimizationList& entries, const Options& options, SystemInfo& system,
                  Report& report);

// plan: a warning for each command whose program the search found outside the system folders
// (searchFolders as ProgramSearch gives them).
void WarnSearchedPrograms(Report& report, const std::vector<std::string>& searchFolders);

}  // namespace cli
