#include "engine/CmdRunner.h"

#include "engine/Reports.h"
#include "platform/ProcessLauncher.h"

namespace {

// Redirection goes back on however Run ends: left off, every later file access of this thread
// (the log, the next entry's commands, the editor) would see the 64-bit system folder.
class RedirectionOff {
public:
    explicit RedirectionOff(GlobalUtils& utils) : utils_(utils) { utils_.TurnOff64Redirect(); }
    ~RedirectionOff() { utils_.TurnOn64Redirect(); }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    GlobalUtils& utils_;
};

}  // namespace

void CmdRunner::Carry(const cmdItem& item, const std::string& source,
                      std::optional<uint32_t>& exitCode) {
    constexpr auto kHidden = ProcessLauncher::WindowStyle::Hidden;
    ProcessLauncher& processes = platform_.processes;
    ProcessLauncher::Ending ending;
    const uint32_t result =
        awaitLimit_ ? processes.StartAndWait(item.Command, kHidden, *awaitLimit_, ending)
                    : processes.Start(item.Command, kHidden);
    if (result != 0) {
        throw ErrorRecord(static_cast<int32_t>(result), source, processes.ErrorText(result));
    }
    if (!awaitLimit_) return;
    if (!ending.inTime) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(*awaitLimit_);
        throw ErrorRecord(static_cast<int32_t>(ProcessLauncher::kTimedOut), source,
                          "The command did not end within " + std::to_string(seconds.count()) +
                              " seconds and was left running");
    }
    exitCode = ending.exitCode;
    if (ending.exitCode != 0) {
        // The number as the platform keeps it, so 0xC0000005 reads as its negative.
        throw ErrorRecord(static_cast<int32_t>(ending.exitCode), source,
                          "The command ended with exit code " + std::to_string(ending.exitCode));
    }
}

void CmdRunner::Run(const std::vector<cmdItem>& cmdItems) {
    GlobalUtils utils(platform_.env);
    const std::string source = utils.ExecutableName() + ".CmdRunner";
    size_t index = 0;
    std::optional<uint32_t> exitCode;
    try {
        RedirectionOff redirection(utils);
        for (; index < cmdItems.size(); ++index) {
            exitCode.reset();
            Carry(cmdItems[index], source, exitCode);
            if (observer_) {
                ActionRecord record =
                    reports::For(cmdItems[index], index, ActionRecord::Outcome::Done);
                record.exitCode = exitCode;
                observer_->Reported(record);
            }
        }
    } catch (...) {
        reports::ListFailed(utils, "Command: ", observer_, cmdItems, index,
                            reports::CurrentError(source), exitCode);
    }
}
