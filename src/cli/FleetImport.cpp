// import: a regedit file or a Registry.pol as new catalogue entries.
#include <algorithm>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "cli/Fleet.h"
#include "cli/FleetReport.h"
#include "engine/checks/Checks.h"
#include "fleet/PolFile.h"
#include "fleet/RegFile.h"
#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/PolicyFolders.h"
#include "platform/XmlDocument.h"
#include "policy/PolicyDefinitions.h"

namespace cli {
namespace {

constexpr int kRefused = 2;
constexpr int kUsage = 64;

int Done(const Options& options, CliPlatform& platform, FleetReport& report) {
    if (!options.quiet || !report.error.empty()) platform.console.Err(FleetNotes(report));
    const uint32_t failure =
        platform.console.Out(options.json ? FleetJson(report) : FleetText(report));
    return failure == 0 ? report.exitCode : 4;
}

int Refused(const Options& options, CliPlatform& platform, FleetReport& report,
            const std::string& why, int exitCode = kRefused) {
    report.error = why;
    report.exitCode = exitCode;
    return Done(options, platform, report);
}

std::string Lower(std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The file's folder names it: ...\Machine\Registry.pol or ...\User\Registry.pol.
std::optional<std::string> RootOf(const std::string& path, const Options& options) {
    if (options.root) return *options.root == "HKLM" ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    std::string folder = Lower(path);
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = folder.substr(0, folder.find_last_of('\\'));
    folder = folder.substr(folder.find_last_of('\\') + 1);
    if (folder == "machine") return "HKEY_LOCAL_MACHINE";
    if (folder == "user") return "HKEY_CURRENT_USER";
    return std::nullopt;
}

// A Registry.pol's records as values under root; its other instructions are warnings.
std::vector<fleet::FleetValue> PolValues(std::vector<fleet::FleetValue> records,
                                         const std::string& root, FleetReport& report) {
    std::vector<fleet::FleetValue> values;
    for (fleet::FleetValue& record : records) {
        const std::string name = fleet::PolValueName(record);
        const bool deletes = name.size() != record.name.size();
        if (!deletes && record.name.rfind("**", 0) == 0) {
            report.warnings.push_back("byte " + std::to_string(record.at) + ": left out " +
                                      record.key + " " + record.name +
                                      ": a Group Policy instruction the catalogue cannot state");
            continue;
        }
        record.key = record.key.empty() ? root : root + "\\" + record.key;
        record.name = name;
        if (deletes) record.op = fleet::FleetValue::Op::DeleteValue;
        values.push_back(std::move(record));
    }
    return values;
}

// The first sentence of an explanation: up to its first full stop before a blank or line end.
std::string FirstSentence(const std::string& text) {
    for (size_t at = text.find('.'); at != std::string::npos; at = text.find('.', at + 1)) {
        if (at + 1 == text.size() || text[at + 1] == ' ' || text[at + 1] == '\n' ||
            text[at + 1] == '\r') {
            return text.substr(0, at + 1);
        }
    }
    return text.substr(0, text.find('\n'));
}

// The policy that the machine's definitions say writes the value under its root, if any.
fleet::PolicyNamer Namer(policy::PolicyLibrary& library) {
    return [&library](const fleet::FleetValue& value) -> std::optional<fleet::NamedPolicy> {
        const size_t slash = value.key.find('\\');
        if (slash == std::string::npos) return std::nullopt;
        const policy::PolicyClass wanted = value.key.substr(0, slash) == "HKEY_LOCAL_MACHINE"
                                               ? policy::PolicyClass::Machine
                                               : policy::PolicyClass::User;
        const policy::Definitions& definitions = library.Read();
        const std::string key = value.key.substr(slash + 1);
        const auto found = definitions.values.find(policy::Definitions::Lookup(key, value.name));
        std::vector<policy::PolicyTarget> targets;
        if (found != definitions.values.end()) targets = found->second;
        // A list element writes whatever value names the administrator gives under its key.
        const auto list = definitions.lists.find(policy::Definitions::Lookup(key, ""));
        if (list != definitions.lists.end()) targets.push_back(list->second);
        for (const policy::PolicyTarget& target : targets) {
            const policy::Policy& defined = definitions.policies[target.policy];
            if (defined.policyClass != policy::PolicyClass::Both && defined.policyClass != wanted) {
                continue;
            }
            return fleet::NamedPolicy{defined.name,
                                      library.DisplayName(target.policy),
                                      FirstSentence(library.Explanation(target.policy)),
                                      {}};
        }
        return std::nullopt;
    };
}

// The values of the file, or none with the report's error.
std::optional<std::vector<fleet::FleetValue>> ReadValues(const std::string& bytes,
                                                         const Options& options,
                                                         FleetReport& report, int& exitCode) {
    const bool pol = bytes.rfind("PReg", 0) == 0 || Lower(*options.file).ends_with(".pol");
    report.format = pol ? "pol" : "reg";
    try {
        if (!pol) return fleet::ReadRegFile(bytes);
        const std::optional<std::string> root = RootOf(*options.file, options);
        if (!root) {
            exitCode = kUsage;
            report.error =
                "the path does not say whether the Registry.pol is the computer's or "
                "the user's: give --root HKLM or --root HKCU";
            return std::nullopt;
        }
        return PolValues(fleet::ReadPolFile(bytes), *root, report);
    } catch (const fleet::FormatError& wrong) {
        report.error = *options.file + (pol ? " at byte " : " line ") + std::to_string(wrong.at) +
                       ": " + wrong.what() + "; no catalogue is written";
        return std::nullopt;
    }
}

int FirstNumber(const OptimizationList& catalogue) {
    int last = 0;
    for (const OptimizationItemPtr& entry : catalogue) {
        if (const std::optional<int16_t> number = codes::PlainNumber(entry->Number)) {
            last = std::max(last, static_cast<int>(*number));
        }
    }
    return last + 1;
}

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int Import(const Options& options, CliPlatform& platform) {
    FleetReport report;
    report.command = "import";
    uint32_t error = 0;
    const std::optional<std::string> bytes = platform.files.Read(*options.file, error);
    if (!bytes) {
        return Refused(options, platform, report,
                       *options.file + " cannot be read: " + platform.files.ErrorText(error));
    }
    int exitCode = kRefused;
    const auto values = ReadValues(*bytes, options, report, exitCode);
    if (!values) return Refused(options, platform, report, report.error, exitCode);

    const std::string target = options.out.value_or(options.into.value_or(""));
    OptimizationList catalogue;
    std::string why;
    if (options.into) {
        const std::optional<std::string> existing = platform.xml.ReadFileBytes(target, why);
        engine::CatalogueCheck check;
        if (existing) catalogue = XmlReader(platform.xml, "", &check).ReadXMLBytes(existing, why);
        if (!existing || !check.Readable()) {
            return Refused(options, platform, report, target + " gives no catalogue to append to");
        }
    } else if (!options.force && platform.files.Read(target, error)) {
        return Refused(options, platform, report, target + " is there already: --force replaces it",
                       kUsage);
    }
    policy::PolicyLibrary library(platform.policies, platform.xml);
    const bool named =
        !options.noPolicyDefinitions &&
        library.Load(options.policyDefinitions.value_or(platform.policies.DefaultFolder()));
    fleet::Imported imported =
        fleet::ImportValues(*values, FileName(*options.file),
                            named ? Namer(library) : fleet::PolicyNamer(), FirstNumber(catalogue));
    for (const fleet::Notice& warning : imported.warnings) {
        report.warnings.push_back((report.format == "pol" ? "byte " : "line ") +
                                  std::to_string(warning.at) + ": " + warning.text);
    }
    catalogue.insert(catalogue.end(), imported.entries.begin(), imported.entries.end());
    if (!XmlWriter(platform.xml, "").WriteXMLFile(catalogue, target)) {
        return Refused(options, platform, report, target + " cannot be written");
    }
    report.files.push_back(target);
    report.values = imported.entries.size();
    return Done(options, platform, report);
}

}  // namespace cli
