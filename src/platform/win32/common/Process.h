#pragma once
// Starting a program from a command line, as the command-line actions and Export do.

#include <cstdint>
#include <string>

namespace win32 {

// CreateProcessW on the command line as it stands, with its window hidden or shown normally;
// not awaited. 0 once the process runs, otherwise the Windows error code.
uint32_t StartProcess(const std::string& commandLine, bool hidden);

}  // namespace win32
