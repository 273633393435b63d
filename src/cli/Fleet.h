#pragma once
// export and import: the catalogue's registry values as a regedit file or Group Policy's
// Registry.pol files, and such files as new catalogue entries.

#include "cli/Options.h"
#include "cli/OrvikCli.h"

namespace cli {

int Export(const Options& options, CliPlatform& platform);
int Import(const Options& options, CliPlatform& platform);

}  // namespace cli
