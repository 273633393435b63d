#pragma once
// The first window: reads the command line, runs silently with -RUN, otherwise shows the splash
// for two seconds and hands over to the editor.

#include <functional>
#include <memory>
#include <string>

#include "platform/Toolkit.h"

class frmSplash {
public:
    // silentRun reads the catalogue and applies it; openEditor creates and shows frmAdvanced.
    frmSplash(Toolkit& toolkit, std::function<void()> silentRun, std::function<void()> openEditor)
        : toolkit_(toolkit), silentRun_(std::move(silentRun)), openEditor_(std::move(openEditor)) {}

    // The load handler, given the whole argument text after the program's name.
    void Form_Load(const std::string& arguments);

    // Set by -EDIT. Nothing reads it yet: the program then starts as without arguments.
    bool EditMode = false;

private:
    void Timer1_Timer();

    Toolkit& toolkit_;
    std::function<void()> silentRun_;
    std::function<void()> openEditor_;
    std::unique_ptr<Form> form_;
    Timer* Timer1_ = nullptr;
};
