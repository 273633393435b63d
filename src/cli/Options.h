#pragma once
// The console program's command line: a command, then its options.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Users.h"

namespace cli {

enum class Command { Validate, Plan, Apply, Undo, Report, Export, Import, Version, Help };

using engine::Users;
using engine::UsersName;

inline constexpr uint32_t kCommandTimeout = 600;
// How long apply and undo wait for another run that holds the machine's run lock.
inline constexpr uint32_t kLockWait = 60;

struct Options {
    Command command = Command::Help;
    std::optional<std::string> catalogue;  // --catalogue FILE; else the one beside the program
    bool json = false;
    bool allVersions = false;        // every enabled entry, not only those offered on this Windows
    std::vector<std::string> items;  // --items N,N,...: Numbers as written
    // --category NAME, --impact LEVEL: upper-cased, as names are compared
    std::vector<std::string> categories, impacts;
    std::vector<std::string> excluded;  // --exclude N,N,...: Numbers left out
    bool force = false;
    bool trustCatalogue = false;         // apply --trust-catalogue: run one that is not protected
    bool trustJournal = false;           // apply, undo --trust-journal: one that is not protected
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
    std::optional<uint32_t> lockWait;  // apply, undo --wait-for-lock SECONDS; else kLockWait
    bool quiet = false;                // --quiet: no progress or notices on standard error
    bool dryRun = false;               // undo --dry-run: say what undo would do, change nothing
    // plan --detailed-exitcode: 0 everything in place, 2 changes pending, 1 anything else.
    bool detailedExitCode = false;
    // export --format reg|pol, --local-policy, --remove; import FILE, --into CATALOGUE,
    // --root HKLM|HKCU (upper-cased).
    std::optional<std::string> format, into, root, file;
    bool localPolicy = false;
    bool remove = false;
    // help COMMAND, COMMAND --help: that command's usage; none: the whole help.
    std::optional<Command> helpFor;
};

// Wrong usage; what says what was wrong, for the line above the pointer to the help.
// command: the command it was given to, when that is known.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& what, std::optional<Command> given = std::nullopt)
        : std::runtime_error(what), command(given) {}
    std::optional<Command> command;
};

// The arguments after the program's name. Commands and option names are taken in any letter
// case, as Windows tools take them. Throws UsageError.
Options ParseOptions(const std::vector<std::string>& arguments);

// What the program says to --help (every command) or to help COMMAND (that one).
std::string HelpText(std::optional<Command> command = std::nullopt);
// The lines after wrong usage: what was wrong, and where the help is.
std::string UsageText(const UsageError& wrong);
// The command's name as it is typed ("plan").
const char* CommandName(Command command);

}  // namespace cli
