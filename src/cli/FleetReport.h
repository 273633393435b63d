#pragma once
// What export and import tell: the files written, what could not go in, warnings at their
// places, and the exit code; as text or one JSON document.

#include <string>
#include <vector>

#include "fleet/CatalogueValues.h"

namespace cli {

struct FleetReport {
    std::string command;  // "export", "import"
    std::string format;   // "reg", "pol"
    std::vector<std::string> files;
    size_t values = 0;  // values written (export) or entries made (import)
    std::vector<fleet::LeftOut> leftOut;
    std::vector<std::string> warnings;
    std::string error;  // why nothing (more) was written
    int exitCode = 0;
};

std::string FleetText(const FleetReport& report);
std::string FleetJson(const FleetReport& report);
// What goes to standard error besides the text: the actions left out and the warnings.
std::string FleetNotes(const FleetReport& report);

}  // namespace cli
