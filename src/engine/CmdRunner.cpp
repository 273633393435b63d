#include "engine/CmdRunner.h"

#include <exception>

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
    const cmdItem* current = nullptr;
    try {
        RedirectionOff redirection(utils);
        for (const cmdItem& item : cmdItems) {
            current = &item;
            const uint32_t result =
                platform_.processes.Start(item.Command, ProcessLauncher::WindowStyle::Hidden);
            if (result != 0) {
                throw ErrorRecord(static_cast<int32_t>(result),
                                  utils.ExecutableName() + ".CmdRunner",
                                  platform_.processes.ErrorText(result));
            }
        }
    } catch (const ErrorRecord& failure) {
        utils.WriteLog("Command: " + (current ? current->Command : std::string()), failure);
    } catch (const std::exception& failure) {
        utils.WriteLog("Command: " + (current ? current->Command : std::string()),
                       ErrorRecord(0, utils.ExecutableName() + ".CmdRunner", failure.what()));
    } catch (...) {
        utils.WriteLog("Command: " + (current ? current->Command : std::string()),
                       ErrorRecord(0, utils.ExecutableName() + ".CmdRunner", "Unknown failure"));
    }
}
