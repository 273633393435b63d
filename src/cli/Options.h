#pragma once
// The console program's command line: a command, then its options.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Users.h"

namespace cli {

enum class Command { Validate, Plan, Apply, Undo, Report, Version, Help };

using engine::Users;
using engine::UsersName;

inline constexpr uint32_t kCommandTimeout = 600;

struct Options {
    Command command = Command::Help;
    std::optional<std::string> catalogue;  // --catalogue FILE; else the one beside the program
    bool json = false;
    bool allVersions = false;        // every enabled entry, not only those offered on this Windows
    std::vector<std::string> items;  // --items N,N,...: Numbers as written
    bool force = false;
    bool trustCatalogue = false;         // apply --trust-catalogue: run one that is not protected
    std::optional<std::string> journal;  // apply --journal FILE; undo FILE
    Users users = Users::Current;
    std::optional<std::string> defaultHive;  // --default-hive FILE
    std::optional<std::string> out;          // report --out FILE
    // --policy-definitions FOLDER; else %SystemRoot%\PolicyDefinitions. Not with
    // --no-policy-definitions, which turns the policy check off.
    std::optional<std::string> policyDefinitions;
    bool noPolicyDefinitions = false;
    bool strict = false;  // --strict: warnings count as errors
    // apply: how long each command line may run before the next action (--command-timeout
    // SECONDS, else kCommandTimeout), or not awaited at all (--no-wait).
    std::optional<uint32_t> commandTimeout;
    bool noWait = false;
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
