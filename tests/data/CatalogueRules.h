#pragma once
// What a shipped catalogue entry must look like beyond being readable: forms of numbers, values
// and commands that the runners carry out as meant on every Windows version listed.

#include <string>

class OptimizationItem;

namespace shipped {

// A plain decimal whole number in the 16-bit signed range, without blanks, sign "+" or leading
// zeros: the editor ties rows to records through this text.
bool IsPlainNumber(const std::string& text);

// A BINARY value text: pairs of upper-case hexadecimal digits, optionally separated by commas
// between the pairs, at least one byte.
bool IsBinaryText(const std::string& text);

// The root name a registry path starts with, as written, when it is one of the four full names
// in upper case; empty otherwise.
std::string RootOf(const std::string& key);

// The program a command line starts: its first token, quoted or not; empty when the line is.
std::string ProgramOf(const std::string& command);

// True when the program path is absolute on the Windows system folder or another drive path and
// names an .exe, so that no search path or command interpreter is needed to find it.
bool IsFullProgramPath(const std::string& program);

// True when a command line only works through a command interpreter (chaining, pipes,
// redirection), which the runner never puts in front of it. Inside the documented PowerShell form
// the shell itself handles them.
bool NeedsInterpreter(const std::string& command);

// True when a command starts PowerShell other than in the documented form: the full path,
// -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command.
bool IsOddPowerShell(const std::string& command);

// What makes an entry disruptive enough to ship unticked (removing provisioned apps or a
// feature, turning off Windows Update, Windows Search or Defender); empty when nothing does.
std::string Disruption(const OptimizationItem& item);

}  // namespace shipped
