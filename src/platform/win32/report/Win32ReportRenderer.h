#pragma once
// The report on MSXML, for the editor's Export and for the console program, which has no windows.

#include <memory>
#include <string>

#include "platform/ReportRenderer.h"

namespace win32 {

// COM must be initialised on the calling thread.
RenderedReport RenderReport(const std::string& cataloguePath, const std::string& stylesheetPath);
std::unique_ptr<ReportRenderer> CreateReportRenderer();

}  // namespace win32
