#include "engine/checks/PolicyChecks.h"

#include "platform/PolicyFolders.h"
#include "policy/PolicyCheck.h"

namespace engine {

PolicyChecked CheckPolicies(const OptimizationList& catalogue, const std::string& folder,
                            PolicyFolders& folders, XmlDocumentFactory& xml) {
    PolicyChecked checked;
    PolicyDefinitionsReport& read = checked.definitions;
    read.checked = true;
    read.folder = folder;
    policy::PolicyLibrary library(folders, xml);
    read.found = library.Load(read.folder);
    read.definitions = library.Read().policies.size();
    if (read.found) {
        for (const OptimizationItemPtr& entry : catalogue) {
            for (const RegistryItem& value : entry->regItems) {
                policy::PolicyFinding finding = policy::CheckValue(value, library);
                if (!finding.policyKey) continue;
                PolicyNote& note = checked.notes[&value];
                if (finding.policy) {
                    note = {true, library.Read().policies[*finding.policy].name,
                            library.DisplayName(*finding.policy)};
                }
                for (policy::PolicyWarning& warning : finding.warnings) {
                    checked.problems.push_back({Problem::Severity::Warning, warning.code,
                                                value.Position.line, value.Position.column,
                                                std::move(warning.message)});
                }
            }
        }
    }
    // Files of the folder that could not be read (also language files, met above).
    for (const policy::FileProblem& file : library.Problems()) {
        const std::string place = file.at.line == 0
                                      ? std::string()
                                      : " (line " + std::to_string(file.at.line) + ", column " +
                                            std::to_string(file.at.column) + ")";
        checked.problems.push_back({Problem::Severity::Warning, "policy-file-unreadable", 0, 0,
                                    file.path + place + " cannot be read: " + file.reason +
                                        ": what it defines is not checked"});
    }
    return checked;
}

}  // namespace engine
