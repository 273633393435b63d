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

void CmdRunner::Run(const std::vector<cmdItem>& cmdItems) {
    GlobalUtils utils(platform_.env);
    size_t index = 0;
    try {
        RedirectionOff redirection(utils);
        for (; index < cmdItems.size(); ++index) {
            const cmdItem& item = cmdItems[index];
            const uint32_t result =
                platform_.processes.Start(item.Command, ProcessLauncher::WindowStyle::Hidden);
            if (result != 0) {
                throw ErrorRecord(static_cast<int32_t>(result),
                                  utils.ExecutableName() + ".CmdRunner",
                                  platform_.processes.ErrorText(result));
            }
            if (observer_) {
                observer_->Reported(reports::For(item, index, ActionRecord::Outcome::Done));
            }
        }
    } catch (...) {
        const ErrorRecord failure = reports::CurrentError(utils.ExecutableName() + ".CmdRunner");
        const bool reached = index < cmdItems.size();
        utils.WriteLog("Command: " + (reached ? cmdItems[index].Command : std::string()),
                       failure);
        if (observer_ && reached) {
            ActionRecord record =
                reports::For(cmdItems[index], index, ActionRecord::Outcome::Failed);
            record.error = failure;
            observer_->Reported(record);
            reports::Skipped(*observer_, cmdItems, index + 1);
        }
    }
}
