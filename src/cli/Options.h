#pragma once
// The console program's command line: a command, then its options.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

enum class Command { Validate, Plan, Apply, Version, Help };

struct Options {
    Command command = Command::Help;
    std::optional<std::string> catalogue;  // --catalogue FILE; else the one beside the program
    bool json = false;
    bool thisWindows = false;
    std::vector<std::string> items;  // --items N,N,...: Numbers as written
    bool force = false;
};

// Wrong usage; what says what was wrong, for the line above the usage text.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The arguments after the program's name. Throws UsageError.
Options ParseOptions(const std::vector<std::string>& arguments);

// What the program says to --help and after wrong usage.
extern const char* const kUsage;

}  // namespace cli
