#pragma once
// The first window of an interactive start: shows the splash for two seconds and hands over to
// the editor, which is built hidden while the splash is up. The silent run never gets here: the
// program entry decides on "-RUN" before any window is made.

#include <functional>
#include <memory>

#include "platform/Toolkit.h"

class frmSplash {
public:
    // loadEditor creates frmAdvanced and loads it hidden; openEditor shows it.
    frmSplash(Toolkit& toolkit, std::function<void()> loadEditor, std::function<void()> openEditor)
        : toolkit_(toolkit), loadEditor_(std::move(loadEditor)),
          openEditor_(std::move(openEditor)) {}

    // The load handler: builds the splash and shows it.
    void Form_Load();

private:
    void Timer1_Timer();
    void tmrLoad_Timer();

    Toolkit& toolkit_;
    std::function<void()> loadEditor_;
    std::function<void()> openEditor_;
    std::unique_ptr<Form> form_;
    Timer* Timer1_ = nullptr;
    Timer* tmrLoad_ = nullptr;
    bool handedOver_ = false;
};
