#include "cli/PolicyChecks.h"

#include <algorithm>

#include "platform/PolicyFolders.h"
#include "policy/PolicyCheck.h"

namespace cli {

void CheckPolicies(const OptimizationList& catalogue, const Options& options,
                   PolicyFolders& folders, XmlDocumentFactory& xml, Report& report) {
    PolicyDefinitionsReport& read = report.policyDefinitions;
    read.checked = !options.noPolicyDefinitions;
    if (!read.checked) return;
    read.folder = options.policyDefinitions.value_or(folders.DefaultFolder());
    policy::PolicyLibrary library(folders, xml);
    read.found = library.Load(read.folder);
    read.definitions = library.Read().policies.size();
    if (read.found) {
        for (const OptimizationItemPtr& entry : catalogue) {
            for (const RegistryItem& value : entry->regItems) {
                policy::PolicyFinding finding = policy::CheckValue(value, library);
                if (!finding.policyKey) continue;
                PolicyNote& note = report.policyNotes[&value];
                if (finding.policy) {
                    note = {true, library.Read().policies[*finding.policy].name,
                            library.DisplayName(*finding.policy)};
                }
                for (policy::PolicyWarning& warning : finding.warnings) {
                    report.problems.push_back({Problem::Severity::Warning, warning.code,
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
        report.problems.push_back({Problem::Severity::Warning, "policy-file-unreadable", 0, 0,
                                   file.path + place + " cannot be read: " + file.reason +
                                       ": what it defines is not checked"});
    }
    // Unknown places (0) after the known ones, as the catalogue's own problems are.
    std::stable_sort(report.problems.begin(), report.problems.end(),
                     [](const Problem& a, const Problem& b) {
                         const auto place = [](const Problem& p) {
                             return std::pair(p.line == 0 ? UINT32_MAX : p.line, p.column);
                         };
                         return place(a) < place(b);
                     });
}

}  // namespace cli
