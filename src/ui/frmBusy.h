#pragma once
// The wait for another run that holds the machine's run lock, with a Cancel. The lock is asked
// for again on a timer, never waited for: the windows keep taking input, and the lock belongs to
// the window's thread that then runs. Create, Show (modal), read Response.

#include <functional>
#include <memory>

#include "platform/Toolkit.h"

class frmBusy {
public:
    // take: asks for the lock without waiting; true once the run may go on.
    frmBusy(Toolkit& toolkit, std::function<bool()> take)
        : toolkit_(toolkit), take_(std::move(take)) {}

    // Returns when the lock was had or the user cancelled.
    void Show();

    // True once the lock was had; Cancel or the close box leave it false.
    bool Response = false;

private:
    void tmrLock_Tick();

    Toolkit& toolkit_;
    std::function<bool()> take_;
    std::unique_ptr<Form> form_;
    Timer* tmrLock = nullptr;
};
