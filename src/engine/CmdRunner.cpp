#include "engine/CmdRunner.h"

#include "engine/Reports.h"
#include "platform/ProcessLauncher.h"

namespace {

// Redirection is off while a command's process is created and on again at once: off while it
// runs, every file access of this thread meanwhile (the log, the editor, the reads of its output)
// would see the 64-bit system folder. It is back on however the creation ends.
class RedirectionOff final : public StartScope {
public:
    explicit RedirectionOff(GlobalUtils& utils) : utils_(utils) {}
    void Enter() override { utils_.TurnOff64Redirect(); }
    void Leave() override { utils_.TurnOn64Redirect(); }

private:
    GlobalUtils& utils_;
};

}  // namespace

void CmdRunner::Carry(const cmdItem& item, const std::string& source, GlobalUtils& utils,
                      reports::Awaited& awaited) {
    constexpr auto kHidden = ProcessLauncher::WindowStyle::Hidden;
    ProcessLauncher& processes = platform_.processes;
    RedirectionOff redirection(utils);
    ProcessLauncher::Ending ending;
    const uint32_t result = awaitLimit_ ? processes.StartAndWait(item.Command, kHidden,
                                                                 &redirection, *awaitLimit_, ending)
                                        : processes.Start(item.Command, kHidden, &redirection);
    if (result != 0) {
        throw ErrorRecord(static_cast<int32_t>(result), source, processes.ErrorText(result));
    }
    if (!awaitLimit_) return;
    awaited.output = CommandOutput{ending.output, ending.errors};
    if (!ending.inTime) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(*awaitLimit_);
        throw ErrorRecord(static_cast<int32_t>(ProcessLauncher::kTimedOut), source,
                          "The command did not end within " + std::to_string(seconds.count()) +
                              " seconds and was left running");
    }
    awaited.exitCode = ending.exitCode;
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
    reports::Awaited awaited;
    try {
        for (; index < cmdItems.size(); ++index) {
            awaited = {};
            Carry(cmdItems[index], source, utils, awaited);
            if (observer_) {
                ActionRecord record =
                    reports::For(cmdItems[index], index, ActionRecord::Outcome::Done);
                record.exitCode = awaited.exitCode;
                record.output = awaited.output;
                observer_->Reported(record);
            }
        }
    } catch (...) {
        reports::ListFailed(utils, "Command: ", observer_, cmdItems, index,
                            reports::CurrentError(source), awaited);
    }
}
