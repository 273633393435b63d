#pragma once
// The real toolkit on user32, comctl32 and GDI, the real shell services, and the report on MSXML.

#include <memory>

#include "platform/Shell.h"
#include "platform/Toolkit.h"

namespace win32 {

// One per program, made on the thread that shows the windows.
std::unique_ptr<Toolkit> CreateToolkit();
std::unique_ptr<Shell> CreateShell();
// The report alone, for programs without windows. COM must be initialised on the calling thread.
std::unique_ptr<ReportRenderer> CreateReportRenderer();

}  // namespace win32
