#pragma once
// The catalogue as the console reads and checks it: its protection first, then its bytes once
// through the session, every problem found in it, and the values the machine's policy
// definitions would ignore.

#include <string>

#include "cli/OrvikCli.h"
#include "cli/Report.h"
#include "engine/session/Session.h"

namespace cli {

// The catalogue as read, when its protection lets it be read, with every problem found in it.
struct Checked {
    OptimizationList catalogue;
    bool read = false;
    bool errors = false;  // of the catalogue itself, those --force overrides
};

Checked ReadChecked(const Options& options, CliPlatform& platform, engine::Session& session,
                    const std::string& folder, Report& report);
void CheckPolicies(const OptimizationList& catalogue, const Options& options, CliPlatform& platform,
                   Report& report);

}  // namespace cli
