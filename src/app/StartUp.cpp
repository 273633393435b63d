#include "app/StartUp.h"

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "engine/checks/AccountChecks.h"
#include "engine/checks/Checks.h"
#include "engine/runner.h"
#include "engine/session/RunLockHold.h"
#include "env/FileTrust.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"
#include "platform/XmlDocument.h"

std::string ArgumentText(const std::string& commandLine) {
    // As the C runtime finds WinMain's command line: a quoted name ends at its closing quote,
    // an unquoted one at the first blank or control character; then the blanks are skipped.
    auto separator = [](char c) { return static_cast<unsigned char>(c) <= ' ' && c != '\0'; };
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t closing = commandLine.find('"', 1);
        i = closing == std::string::npos ? commandLine.size() : closing + 1;
    } else {
        while (i < commandLine.size() && !separator(commandLine[i])) ++i;
    }
    while (i < commandLine.size() && separator(commandLine[i])) ++i;
    return commandLine.substr(i);
}

StartMode ChooseStart(const std::string& argumentText) {
    // The whole text, untrimmed: "-RUN " or "-RUN x" open the editor.
    return codes::UpperAscii(argumentText) == "-RUN" ? StartMode::SilentRun : StartMode::Editor;
}

namespace {

// Counts the failed actions; the registry's values need not be read for that.
class FailureCount final : public RunObserver {
public:
    int failed = 0;
    void EntryStarts(const OptimizationItem&) override {}
    void EntryLeftOut(const OptimizationItem&) override {}
    void Reported(const ActionRecord& record) override {
        if (record.outcome == ActionRecord::Outcome::Failed) ++failed;
    }
    void EntryEnds(const OptimizationItem&) override {}
    bool WatchesChanges() const override { return false; }
};

// Where nobody can see a box (a service's or a task's window station), the WMI warning is
// logged and the run goes on instead of waiting for a click that never comes.
class LoggedWarnings final : public MessageBoxes {
public:
    explicit LoggedWarnings(GlobalUtils& utils) : utils_(utils) {}
    void ShowOk(const std::string& text) override {
        utils_.WriteLog("no interactive desktop: the warning was logged, not shown",
                        ErrorRecord(0, utils_.ExecutableName() + ".WMIRunner", text));
    }

private:
    GlobalUtils& utils_;
};

// The desktop is asked at the first warning, not before: asking loads the window libraries,
// which a run without a warning never needs.
class WarningsWhereSeen final : public MessageBoxes {
public:
    WarningsWhereSeen(SystemInfo& system, MessageBoxes& shown, MessageBoxes& logged)
        : system_(system), shown_(shown), logged_(logged) {}
    void ShowOk(const std::string& text) override {
        if (!chosen_) chosen_ = system_.HasVisibleDesktop() ? &shown_ : &logged_;
        chosen_->ShowOk(text);
    }

private:
    SystemInfo& system_;
    MessageBoxes& shown_;
    MessageBoxes& logged_;
    MessageBoxes* chosen_ = nullptr;
};

void Refuse(GlobalUtils& utils, int32_t number, const std::string& why) {
    utils.WriteLog("nothing was applied", ErrorRecord(number, utils.ExecutableName(), why + ". "));
}

// The catalogue beside the executable, or none after one log line that says why.
std::optional<OptimizationList> ReadCatalogue(XmlDocumentFactory& xml, GlobalUtils& utils,
                                              FileSecurity& security) {
    constexpr int32_t kAccessDenied = 5;
    constexpr int32_t kFileNotFound = 2;
    constexpr int32_t kInvalidData = 13;
    const std::string path = catalogue::DefaultPath(utils.ExecutableFolder());
    const trust::CatalogueTrust trust = trust::CheckCatalogue(security, path);
    if (trust.Refused()) {
        Refuse(utils, kAccessDenied, "The catalogue " + trust.verdict.reason);
        return std::nullopt;
    }
    std::string why;
    const std::optional<std::string> bytes = xml.ReadFileBytes(path, why);
    if (!trust.MayRead() || !bytes) {
        const bool missing = trust.verdict.state == trust::Verdict::State::Missing;
        Refuse(utils, missing ? kFileNotFound : kInvalidData,
               "The catalogue " + path + " cannot be read" + (why.empty() ? "" : ": " + why));
        return std::nullopt;
    }
    engine::CatalogueCheck check;
    OptimizationList catalogue =
        XmlReader(xml, utils.ExecutableFolder(), &check).ReadXMLBytes(bytes, why);
    if (check.Readable()) return catalogue;
    std::string reason = "it gives no catalogue";
    for (const engine::Problem& problem : check.Problems()) {
        if (problem.severity == engine::Problem::Severity::Error) reason = problem.message;
    }
    Refuse(utils, kInvalidData, "The catalogue " + path + " cannot be read: " + reason);
    return std::nullopt;
}

// The run lock, or none after one log line why; a lock the run before abandoned is logged too.
std::optional<engine::RunLockHold> HoldRunLock(RunLock& lock, GlobalUtils& utils, int& refused) {
    constexpr int32_t kBusy = 170;  // ERROR_BUSY
    engine::RunLockHold hold(lock, kSilentLockWait);
    if (!hold.problem) return hold;
    const std::string why = hold.Sentence();
    if (hold.MayRun()) {
        utils.WriteLog("the run went on", ErrorRecord(0, utils.ExecutableName(), why + ". "));
        return hold;
    }
    Refuse(utils, hold.busy() ? kBusy : static_cast<int32_t>(hold.error), why);
    refused = hold.busy() ? kSilentBusy : kSilentRefused;
    return std::nullopt;
}

}  // namespace

int SilentRun(XmlDocumentFactory& xml, const EnginePlatform& platform, FileSecurity& security,
              RunLock& lock) {
    GlobalUtils utils(platform.env);
    const std::optional<OptimizationList> catalogue = ReadCatalogue(xml, utils, security);
    if (!catalogue) return kSilentRefused;
    // Only what the editor offers on this Windows, as a run after the editor's Save applied when
    // Save kept no other version's entries. Nothing is logged of the others: the log holds
    // failures, and the scripts that read it after -RUN rely on that.
    const int32_t offeredOn = utils.GetOSVersion();
    SystemInfo& system = platform.env.system;
    if (const auto refusal = engine::ElevationRefusal(*catalogue, offeredOn, system.IsElevated())) {
        constexpr int32_t kElevationRequired = 740;
        Refuse(utils, kElevationRequired,
               "Run " + utils.ExecutableName() + ".exe -RUN as administrator: " + *refusal);
        return kSilentRefused;
    }
    int refused = kSilentRefused;
    const std::optional<engine::RunLockHold> hold = HoldRunLock(lock, utils, refused);
    if (!hold) return refused;
    if (std::optional<std::string> notice =
            engine::SystemUserNotice(*catalogue, offeredOn, system.RunsAsSystem())) {
        notice->front() = 'R';  // the sentence's start
        utils.WriteLog("the values were applied all the same",
                       ErrorRecord(0, utils.ExecutableName(), *notice + ". "));
    }
    LoggedWarnings logged(utils);
    WarningsWhereSeen boxes(system, platform.messages, logged);
    const EnginePlatform run{platform.env, platform.registry, platform.processes,
                             platform.wmi, platform.services, platform.tasks,
                             boxes,        platform.users};
    FailureCount failures;
    runner(run, &failures).RunOptimizations(*catalogue, offeredOn);
    return failures.failed > 0 ? kSilentActionFailed : kSilentDone;
}
