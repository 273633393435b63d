#pragma once
// Starting a program from a command line, as the command-line actions and Export do.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace win32 {

// CreateProcessW on the command line as it stands, with its window hidden or shown normally;
// not awaited. 0 once the process runs, otherwise the Windows error code.
uint32_t StartProcess(const std::string& commandLine, bool hidden);

// The same, then waits at most limit for it to end: its exit code in exitCode, or nothing when
// it still runs at the bound (it is left running). 0, or the Windows error code.
uint32_t StartProcessAndWait(const std::string& commandLine, bool hidden,
                             std::chrono::milliseconds limit, std::optional<uint32_t>& exitCode);

}  // namespace win32
