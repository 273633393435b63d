#pragma once
// The real toolkit on user32, comctl32 and GDI, and the real shell services.

#include <memory>

#include "platform/Shell.h"
#include "platform/Toolkit.h"

namespace win32 {

// One per program, made on the thread that shows the windows.
std::unique_ptr<Toolkit> CreateToolkit();
std::unique_ptr<Shell> CreateShell();

}  // namespace win32
