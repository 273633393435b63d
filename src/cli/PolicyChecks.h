#pragma once
// The catalogue's registry values under policy keys against the machine's policy definitions:
// the warnings, the folder read, and the policy of each value for plan's report.

#include "catalogue/OptimizationItem.h"
#include "cli/Options.h"
#include "cli/Report.h"

class PolicyFolders;
class XmlDocumentFactory;

namespace cli {

// Reads the definitions the options name and checks every registry value of the catalogue,
// adding to report: its problems (in the order of the file), policyDefinitions and policyNotes.
void CheckPolicies(const OptimizationList& catalogue, const Options& options,
                   PolicyFolders& folders, XmlDocumentFactory& xml, Report& report);

}  // namespace cli
