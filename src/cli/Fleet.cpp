#include "cli/Fleet.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "cli/FleetReport.h"
#include "engine/checks/Checks.h"
#include "engine/session/Session.h"
#include "env/GlobalUtils.h"
#include "fleet/GptIni.h"
#include "fleet/PolFile.h"
#include "fleet/RegFile.h"
#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/PolicyFolders.h"
#include "platform/Registry.h"
#include "platform/XmlDocument.h"

namespace cli {
namespace {

constexpr int kRefused = 2;
constexpr int kUsage = 64;

// The report written out; its exit code, unless standard output refused it.
int Finish(const Options& options, CliPlatform& platform, FleetReport& report) {
    if (!options.quiet || !report.error.empty()) platform.console.Err(FleetNotes(report));
    const uint32_t failure =
        platform.console.Out(options.json ? FleetJson(report) : FleetText(report));
    return failure == 0 ? report.exitCode : 4;
}

int Refuse(const Options& options, CliPlatform& platform, FleetReport& report,
           const std::string& why, int exitCode = kRefused) {
    report.error = why;
    report.exitCode = exitCode;
    return Finish(options, platform, report);
}

// The catalogue, or none and why; problems that leave it readable are the values' own.
std::optional<OptimizationList> ReadCatalogue(const std::string& path, CliPlatform& platform,
                                              const std::string& folder, std::string& why) {
    const std::optional<std::string> bytes = platform.xml.ReadFileBytes(path, why);
    if (!bytes) return std::nullopt;
    engine::CatalogueCheck check;
    OptimizationList catalogue = XmlReader(platform.xml, folder, &check).ReadXMLBytes(bytes, why);
    if (!check.Readable()) {
        const std::vector<engine::Problem> problems = check.Problems();
        why = problems.empty() ? "it gives no catalogue" : problems.front().message;
        return std::nullopt;
    }
    return catalogue;
}

// The entries plan would take: the session's selection, offered on this Windows.
OptimizationList Selected(const engine::Selected& selected, const Options& options,
                          int32_t windows) {
    OptimizationList offered;
    for (const OptimizationItemPtr& entry : selected.entries) {
        if (options.allVersions || codes::IsOffered(entry->osVersions, windows)) {
            offered.push_back(entry);
        }
    }
    return offered;
}

uint32_t WriteFile(ConsoleFiles& files, const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    std::unique_ptr<OutputFile> file = files.Create(path, true, error);
    if (!file) return error;
    error = file->Write(bytes);
    return error != 0 ? error : file->Flush();
}

// File-system redirection off while the local policy is written by a 32-bit program, so that
// it reaches System32 itself.
class Unredirected {
public:
    explicit Unredirected(GlobalUtils& utils, bool wanted)
        : utils_(utils), on_(wanted && utils.Is64bit()) {
        if (on_) utils_.TurnOff64Redirect();
    }
    ~Unredirected() {
        if (on_) utils_.TurnOn64Redirect();
    }
    Unredirected(const Unredirected&) = delete;
    Unredirected& operator=(const Unredirected&) = delete;

private:
    GlobalUtils& utils_;
    bool on_;
};

struct PolHalves {
    std::vector<fleet::FleetValue> machine, user;
};

// The values by the half of the policy that carries them, keys below their roots.
PolHalves Halves(const std::vector<fleet::FleetValue>& values, FleetReport& report) {
    PolHalves halves;
    for (fleet::FleetValue value : values) {
        const size_t slash = value.key.find('\\');
        const std::string root = value.key.substr(0, slash);
        value.key = slash == std::string::npos ? "" : value.key.substr(slash + 1);
        const int32_t handle = reg::RootByName(root);
        if (handle != reg::kLocalMachine && handle != reg::kCurrentUser) {
            report.leftOut.push_back({"", "registry", root + "\\" + value.key,
                                      "Registry.pol holds HKEY_LOCAL_MACHINE and "
                                      "HKEY_CURRENT_USER values only"});
            continue;
        }
        if (!fleet::IsPolicyKey(value.key)) {
            report.warnings.push_back(root + "\\" + value.key +
                                      " is outside the policy keys: Group Policy leaves " +
                                      "the value behind when the policy goes away");
        }
        (handle == reg::kLocalMachine ? halves.machine : halves.user).push_back(value);
    }
    return halves;
}

// One half's Registry.pol with ours merged in; false, with the report's error, when not.
bool WriteHalf(const std::string& folder, const std::vector<fleet::FleetValue>& ours,
               const Options& options, CliPlatform& platform, FleetReport& report) {
    ConsoleFiles& files = platform.files;
    const std::string path = catalogue::InFolder(folder, "Registry.pol");
    uint32_t error = files.MakeFolder(folder);
    std::optional<std::string> existing = files.Read(path, error);
    if (!existing && error != 2 && error != 3) {
        report.error = path + " cannot be read: " + files.ErrorText(error);
        return false;
    }
    if (!existing && options.remove) return true;  // nothing of ours to take out
    std::vector<fleet::FleetValue> theirs;
    try {
        theirs = fleet::ReadPolFile(existing.value_or(""));
    } catch (const fleet::FormatError& damaged) {
        report.error = path + " is no Registry.pol (at byte " + std::to_string(damaged.at) + ": " +
                       damaged.what() + "); it is left as it is";
        return false;
    }
    error =
        WriteFile(files, path, fleet::WritePolFile(fleet::MergePol(theirs, ours, options.remove)));
    if (error != 0) {
        report.error = path + " cannot be written: " + files.ErrorText(error);
        return false;
    }
    report.files.push_back(path);
    return true;
}

int ExportPol(const std::vector<fleet::FleetValue>& values, const Options& options,
              CliPlatform& platform, FleetReport& report) {
    const PolHalves halves = Halves(values, report);
    GlobalUtils utils(platform.machine.env);
    Unredirected unredirected(utils, options.localPolicy);
    std::string folder = options.out.value_or("");
    if (options.localPolicy) {
        std::string windows = platform.policies.DefaultFolder();
        windows = windows.substr(0, windows.find_last_of('\\'));
        folder = catalogue::InFolder(catalogue::InFolder(windows, "System32"), "GroupPolicy");
    }
    platform.files.MakeFolder(folder);
    const bool machine = !halves.machine.empty(), user = !halves.user.empty();
    if ((machine && !WriteHalf(catalogue::InFolder(folder, "Machine"), halves.machine, options,
                               platform, report)) ||
        (user &&
         !WriteHalf(catalogue::InFolder(folder, "User"), halves.user, options, platform, report))) {
        return Refuse(options, platform, report, report.error);
    }
    if (options.localPolicy && (machine || user)) {
        const std::string ini = catalogue::InFolder(folder, "gpt.ini");
        uint32_t error = 0;
        const std::string raised =
            fleet::RaiseGptIni(platform.files.Read(ini, error).value_or(""), machine, user);
        if ((error = WriteFile(platform.files, ini, raised)) != 0) {
            return Refuse(options, platform, report,
                          ini + " cannot be written: " + platform.files.ErrorText(error));
        }
        report.files.push_back(ini);
    }
    report.values = halves.machine.size() + halves.user.size();
    return Finish(options, platform, report);
}

}  // namespace

int Export(const Options& options, CliPlatform& platform) {
    FleetReport report;
    report.command = "export";
    report.format = *options.format == "REG" ? "reg" : "pol";
    GlobalUtils utils(platform.machine.env);
    const std::string path =
        options.catalogue.value_or(catalogue::DefaultPath(utils.ExecutableFolder()));
    std::string why;
    const std::optional<OptimizationList> catalogue =
        ReadCatalogue(path, platform, utils.ExecutableFolder(), why);
    if (!catalogue) return Refuse(options, platform, report, path + " cannot be read: " + why);
    const engine::Selected chosen = engine::Select(
        *catalogue, {options.items, options.categories, options.impacts, options.excluded});
    if (!chosen.wrongUsage.empty()) {
        platform.console.Err(UsageText(UsageError(chosen.wrongUsage, Command::Export)));
        return kUsage;
    }
    const fleet::Exported exported =
        fleet::ExportValues(Selected(chosen, options, utils.GetOSVersion()));
    report.leftOut = exported.leftOut;
    if (report.format == "pol") return ExportPol(exported.values, options, platform, report);
    if (const uint32_t error =
            WriteFile(platform.files, *options.out, fleet::WriteRegFile(exported.values))) {
        return Refuse(options, platform, report,
                      *options.out + " cannot be written: " + platform.files.ErrorText(error));
    }
    report.files.push_back(*options.out);
    report.values = exported.values.size();
    return Finish(options, platform, report);
}

}  // namespace cli
