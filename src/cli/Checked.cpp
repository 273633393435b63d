#include "cli/Checked.h"

#include "catalogue/XmlReader.h"
#include "cli/Protection.h"
#include "engine/checks/PolicyChecks.h"
#include "platform/PolicyFolders.h"

namespace cli {

using engine::CatalogueCheck;

Checked ReadChecked(const Options& options, CliPlatform& platform, engine::Session& session,
                    const std::string& folder, Report& report) {
    std::vector<Problem> protection;
    Checked checked;
    checked.read = CheckProtection(platform.security, options, report, protection);
    // Read once, after the protection check: the hash is of the very bytes parsed.
    const engine::CatalogueRead& read = session.ReadCatalogue(report.cataloguePath);
    report.sha256 = read.sha256;
    CatalogueCheck check;
    if (!checked.read && !report.readable) {
        // Missing when its protection was judged: not parsed, whatever is there now.
        check.Notice(
            {ReadNotice::Kind::Unreadable, {}, {}, read.bytes ? "it did not exist" : read.why});
    }
    if (checked.read) {
        checked.catalogue =
            XmlReader(platform.xml, folder, &check).ReadXMLBytes(read.bytes, read.why);
        check.CheckRecords(checked.catalogue);
        report.readable = check.Readable();
        checked.errors = check.HasErrors();
    }
    report.problems = check.Problems();
    report.problems.insert(report.problems.begin(), protection.begin(), protection.end());
    return checked;
}

void CheckPolicies(const OptimizationList& catalogue, const Options& options, CliPlatform& platform,
                   Report& report) {
    if (options.noPolicyDefinitions) return;
    engine::PolicyChecked checked = engine::CheckPolicies(
        catalogue, options.policyDefinitions.value_or(platform.policies.DefaultFolder()),
        platform.policies, platform.xml);
    report.policyDefinitions = checked.definitions;
    report.policyNotes = std::move(checked.notes);
    report.problems.insert(report.problems.end(), checked.problems.begin(), checked.problems.end());
    engine::SortByPlace(report.problems);
}

}  // namespace cli
