#pragma once
// Modal message boxes with the application's title. Named MessageBoxes: the Windows headers
// define MessageBox as a macro.

#include <string>

#include "platform/ProductName.h"

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Text, an OK button only, the application's title; returns when the user has confirmed.
    virtual void ShowOk(const std::string& text) = 0;
};
