#pragma once
// The catalogue's registry values under policy keys against the machine's policy definitions:
// the warnings, the folder read, and the policy of each value.

#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/checks/Checks.h"

class PolicyFolders;
class XmlDocumentFactory;

namespace engine {

// A registry value under a policy key: the policy that defines it, or none.
struct PolicyNote {
    bool defined = false;
    std::string name;
    std::string displayName;
};

// The policy definitions the values were checked against.
struct PolicyDefinitionsReport {
    bool checked = false;  // the check was asked for
    std::string folder;
    bool found = false;  // the folder holds .admx files
    size_t definitions = 0;
};

struct PolicyChecked {
    PolicyDefinitionsReport definitions;
    std::unordered_map<const RegistryItem*, PolicyNote> notes;  // values under policy keys
    std::vector<Problem> problems;  // in the order of the file, the unreadable files last
};

// Reads the definitions in folder and checks every registry value of the catalogue.
PolicyChecked CheckPolicies(const OptimizationList& catalogue, const std::string& folder,
                            PolicyFolders& folders, XmlDocumentFactory& xml);

}  // namespace engine
