#pragma once
// The gpt.ini of a local Group Policy object: which client-side extensions its halves need and
// its version, which a refresh compares to decide whether to apply the policy again.

#include <string>

namespace fleet {

// The registry extension and the policy editor's tool, for the computer and the user half.
inline constexpr const char* kMachineExtensions =
    "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F72-3407-48AE-BA88-E8213C6761F1}]";
inline constexpr const char* kUserExtensions =
    "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]";

// The file with the registry extension in the lists of the halves written and Version raised by
// one in each (the computer's in the low word, the user's in the high word); other lines kept.
// CR LF line ends, as Windows writes the file.
std::string RaiseGptIni(const std::string& existing, bool machine, bool user);

}  // namespace fleet
