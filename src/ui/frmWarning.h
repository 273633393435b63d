#pragma once
// The confirmation asked before optimizations are applied. Create, Show (modal), read Response.

#include <memory>

#include "platform/Toolkit.h"

class frmWarning {
public:
    explicit frmWarning(Toolkit& toolkit) : toolkit_(toolkit) {}

    // Loads the window, which clears Response, and returns when it has closed.
    void Show();

    // True only when the user answered Yes; any other way out leaves it false.
    bool Response = false;

private:
    void Form_Load();
    void AddMessage(Form& f);
    void AddAnswers(Form& f);

    Toolkit& toolkit_;
    std::unique_ptr<Form> form_;
};
