#include "cli/Options.h"

#include <map>
#include <set>

#include "catalogue/Codes.h"

namespace cli {
namespace {

// Which options each command takes.
enum Allowed : unsigned {
    kCatalogue = 1,
    kJson = 2,
    kSelection = 4,  // --items, --category, --impact, --exclude, --all-versions, --this-windows
    kForce = 8,
    kJournal = 16,
    kUser = 32,
    kDefaultHive = 64,
    kOut = 128,
    kOperand = 256,  // the journal to undo
    kPolicy = 512,   // --policy-definitions, --no-policy-definitions, --strict
    kWait = 1024,    // --command-timeout, --no-wait
    kTrust = 2048,   // --trust-catalogue
    kQuiet = 4096,
    kDryRun = 8192,
    kTrustJournal = 16384,  // --trust-journal
    kExport = 32768,        // --format, --local-policy, --remove
    kImport = 65536,        // the file to import, --into, --root
    kLock = 131072,         // --wait-for-lock
    kDetailed = 262144,     // --detailed-exitcode
};

struct CommandHelp {
    const char* name;
    Command command;
    unsigned allowed;
    const char* synopsis;
    const char* what;
};

const CommandHelp kCommands[] = {
    {"validate", Command::Validate, kCatalogue | kJson | kPolicy | kQuiet,
     "validate [--catalogue FILE] [--json] [--quiet] [POLICY OPTIONS]",
     "check the catalogue and list every problem with its line and column"},
    {"plan", Command::Plan,
     kCatalogue | kJson | kSelection | kUser | kDefaultHive | kPolicy | kQuiet | kDetailed,
     "plan [--catalogue FILE] [SELECTION] [--json] [--quiet] [--detailed-exitcode]\n"
     "              [--user current|default|both] [--default-hive FILE] [POLICY OPTIONS]",
     "show what apply would do on this machine, changing nothing"},
    {"apply", Command::Apply,
     kCatalogue | kJson | kSelection | kForce | kJournal | kUser | kDefaultHive | kPolicy | kWait |
         kTrust | kQuiet | kTrustJournal | kLock,
     "apply [--catalogue FILE] [SELECTION] [--json] [--quiet] [--force]\n"
     "              [--journal FILE] [--user current|default|both] [--default-hive FILE]\n"
     "              [--command-timeout SECONDS | --no-wait] [--trust-catalogue]\n"
     "              [--trust-journal] [--wait-for-lock SECONDS] [POLICY OPTIONS]",
     "apply the enabled entries offered on this Windows as Orvik.exe -RUN does,\n"
     "            without any window"},
    {"undo", Command::Undo,
     kJson | kDefaultHive | kOperand | kQuiet | kDryRun | kTrustJournal | kLock,
     "undo FILE [--dry-run] [--json] [--quiet] [--default-hive FILE] [--trust-journal]\n"
     "              [--wait-for-lock SECONDS]",
     "put back what the run that wrote the journal FILE changed in the registry"},
    {"report", Command::Report, kCatalogue | kOut | kQuiet,
     "report [--catalogue FILE] [--out FILE] [--quiet]",
     "write the catalogue as the HTML page that the editor's Export makes"},
    {"export", Command::Export, kCatalogue | kJson | kSelection | kOut | kQuiet | kExport,
     "export --format reg --out FILE [--catalogue FILE] [SELECTION] [--json] [--quiet]\n"
     "       OrvikCli export --format pol (--out FOLDER | --local-policy) [--remove]\n"
     "              [--catalogue FILE] [SELECTION] [--json] [--quiet]",
     "write the registry values apply would write as a regedit file or as\n"
     "            Group Policy's Machine and User Registry.pol"},
    {"import", Command::Import, kOut | kForce | kJson | kQuiet | kImport | kPolicy,
     "import FILE (--out CATALOGUE | --into CATALOGUE) [--root HKLM|HKCU] [--force]\n"
     "              [--json] [--quiet] [POLICY OPTIONS]",
     "make catalogue entries from a regedit file or a Registry.pol"},
};

// One line (or more) of the help for each option, under the options it stands for.
const std::pair<unsigned, const char*> kOptionHelp[] = {
    {kCatalogue,
     "  --catalogue FILE     another catalogue than OrvikOptimizations.xml beside the\n"
     "                       program\n"},
    {kSelection,
     "  --all-versions       also the entries meant for other Windows versions; without\n"
     "                       it (or with --this-windows) only those the editor offers\n"
     "  --items N,N,...      only the entries with these Numbers\n"
     "  --category NAME      only the entries of this category (STORAGE, \"USER\n"
     "                       EXPERIENCE\", \"CPU AND MEMORY\"); several may be given\n"
     "  --impact LEVEL       only the entries of this impact (LOW, MEDIUM, HIGH);\n"
     "                       several may be given\n"
     "  --exclude N,N,...    leave the entries with these Numbers out\n"},
    {kJson, "  --json               one JSON document on standard output instead of text\n"},
    {kQuiet,
     "  --quiet              no progress lines or notices; errors still go to standard\n"
     "                       error\n"},
    {kForce, "  --force              apply a catalogue that has errors; import: replace --out\n"},
    {kTrust,
     "  --trust-catalogue    apply, as administrator, a catalogue that others may change\n"},
    {kJournal,
     "  --journal FILE       write what the run changes into FILE (a new file), for undo\n"},
    {kTrustJournal,
     "  --trust-journal      as administrator, a journal (or its folder) that others may\n"
     "                       change\n"},
    {kDryRun, "  --dry-run            say what undo would do, changing nothing\n"},
    {kDetailed,
     "  --detailed-exitcode  exit code 0: everything in place, 2: changes pending,\n"
     "                       1: anything else (errors, failures)\n"},
    {kUser,
     "  --user WHOSE         HKEY_CURRENT_USER values for the current user (the default),\n"
     "                       the default profile that new users get, or both\n"},
    {kDefaultHive,
     "  --default-hive FILE  the default profile's hive\n"
     "                       (NTUSER.DAT in the default profile's folder that\n"
     "                       Windows names; undo: the journal's)\n"},
    {kWait,
     "  --command-timeout SECONDS  how long apply waits for each command line to end\n"
     "                       before it fails it and goes on, leaving it running (600)\n"
     "  --no-wait            start command lines without waiting, as Orvik.exe -RUN\n"},
    {kLock,
     "  --wait-for-lock SECONDS  how long to wait while another run changes the machine\n"
     "                       before giving up with exit code 6 (60; 0: not at all)\n"},
    {kOut,
     "  --out FILE           write into FILE (report: the page; import: a new catalogue)\n"
     "                       instead of standard output; export --format pol: a FOLDER\n"},
    {kExport,
     "  --format reg|pol     a regedit file, or Machine\\Registry.pol and User\\Registry.pol\n"
     "  --local-policy       into this machine's local policy, with gpt.ini raised\n"
     "  --remove             take the values out of existing Registry.pol files again\n"},
    {kImport,
     "  --into CATALOGUE     append the entries to this catalogue\n"
     "  --root HKLM|HKCU     the root of a Registry.pol whose path does not say it\n"},
    {kPolicy,
     "  --policy-definitions FOLDER  check values under policy keys against the .admx\n"
     "                       files of FOLDER (%SystemRoot%\\PolicyDefinitions)\n"
     "  --no-policy-definitions      do not check values against policy definitions\n"
     "  --strict             warnings count as errors\n"},
};

const char* const kExitCodes =
    "Exit codes: 0 done; 1 an action failed; 2 the catalogue (undo: the journal) cannot be\n"
    "read or has errors, or what the command needs cannot be had; 3 nothing failed but a WMI\n"
    "check warned; 4 the command did its work but its report could not be written to standard\n"
    "output; 5 undo left a value alone that changed after the run; 6 busy: another run held\n"
    "the machine's run lock, nothing was done; 64 wrong usage. plan --detailed-exitcode:\n"
    "0 everything in place, 2 changes pending, 1 anything else.\n";

const std::map<std::string, Users> kUsers = {
    {"current", Users::Current}, {"default", Users::Default}, {"both", Users::Both}};

const CommandHelp* Find(const std::string& name) {
    for (const CommandHelp& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

const CommandHelp& Find(Command command) {
    for (const CommandHelp& each : kCommands) {
        if (each.command == command) return each;
    }
    return kCommands[0];
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool IsHelp(const std::string& argument) {
    const std::string name = Lower(argument);
    return name == "--help" || name == "-h" || name == "/?" || name == "-?";
}

// The values of a comma list, each trimmed; none may be empty.
void AddList(const std::string& option, const std::string& list, std::vector<std::string>& into,
             bool upper) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string value = list.substr(start, comma - start);
        const size_t first = value.find_first_not_of(' ');
        value = first == std::string::npos
                    ? std::string()
                    : value.substr(first, value.find_last_not_of(' ') - first + 1);
        if (value.empty()) throw UsageError(option + " takes values separated by commas");
        into.push_back(upper ? codes::UpperAscii(value) : value);
        if (comma == std::string::npos) return;
        start = comma + 1;
    }
}

// Whole seconds from `least` on, few enough that the wait in milliseconds stays a bound.
uint32_t Seconds(const std::string& option, const std::string& text, uint32_t least) {
    const bool digits = !text.empty() && text.size() <= 7 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const auto seconds = digits ? static_cast<uint32_t>(std::stoul(text)) : 0;
    if (!digits || seconds < least || seconds > 2000000) {
        throw UsageError(option + " takes whole seconds from " + std::to_string(least) +
                         " to 2000000");
    }
    return seconds;
}

}  // namespace

const char* CommandName(Command command) { return Find(command).name; }

std::string HelpText(std::optional<Command> command) {
    std::string text = "usage: ";
    unsigned options = 0;
    for (const CommandHelp& each : kCommands) {
        if (command && each.command != *command) continue;
        text +=
            (options == 0 ? "OrvikCli " : "       OrvikCli ") + std::string(each.synopsis) + "\n";
        options |= each.allowed;
    }
    if (!command) text += "       OrvikCli help [COMMAND]\n       OrvikCli --version\n";
    if ((options & kSelection) != 0) {
        text +=
            "  SELECTION: [--all-versions | --this-windows] [--items N,N,...]\n"
            "             [--category NAME]... [--impact LEVEL]... [--exclude N,N,...]\n";
    }
    if ((options & kPolicy) != 0) {
        text +=
            "  POLICY OPTIONS: [--policy-definitions FOLDER | --no-policy-definitions]"
            " [--strict]\n";
    }
    text += "\n";
    for (const CommandHelp& each : kCommands) {
        if (!command || each.command == *command) {
            text += "  " + std::string(each.name) +
                    std::string(10 - std::string(each.name).size(), ' ') + each.what + "\n";
        }
    }
    text += "\n";
    for (const auto& [option, lines] : kOptionHelp) {
        if ((options & option) != 0) text += lines;
    }
    text += "\nCommands and options may be written in any letter case.";
    if (!command) text += "\n'OrvikCli help COMMAND' shows one command's usage.";
    return text + "\n" + kExitCodes;
}

std::string UsageText(const UsageError& wrong) {
    const std::string help =
        wrong.command ? "OrvikCli help " + std::string(CommandName(*wrong.command)) + " or "
                      : std::string();
    return std::string("OrvikCli: ") + wrong.what() + "\nFor help: " + help + "OrvikCli --help\n";
}

namespace {

// One pass over the arguments after the command, option by option.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& arguments, unsigned allowed, Options& options)
        : arguments_(arguments), allowed_(allowed), options_(options) {}

    void ReadAll() {
        for (i_ = 1; i_ < arguments_.size(); ++i_) {
            const std::string& argument = arguments_[i_];
            value_.reset();
            name_ = argument;
            if (!argument.empty() && argument[0] == '-') {
                const size_t equals = argument.find('=');
                if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
                    value_ = argument.substr(equals + 1);
                }
                name_ = Lower(argument.substr(0, equals));
            }
            if (!TakeFile() && !TakeSelection() && !TakeOther()) {
                throw UsageError("unknown option '" + argument + "'");
            }
            // The selection's lists add up; any other option given again is a mistake, not an
            // override.
            const bool adds = name_ == "--items" || name_ == "--exclude" || name_ == "--category" ||
                              name_ == "--impact";
            if (!adds && name_.rfind('-', 0) == 0 && !given_.insert(name_).second) {
                throw UsageError(name_ + " is given more than once");
            }
        }
    }

    bool thisWindows = false;  // the default, said outright

private:
    std::string TakeValue() {
        if (value_) return *value_;
        if (i_ + 1 == arguments_.size()) throw UsageError(name_ + " needs a value");
        return arguments_[++i_];
    }
    void Allow(unsigned option) const {
        if ((allowed_ & option) == 0) {
            throw UsageError(Lower(arguments_[0]) + " does not take " + name_);
        }
    }
    bool Flag(unsigned option) const {
        Allow(option);
        if (value_) throw UsageError(name_ + " takes no value");
        return true;
    }
    void File(unsigned option, std::optional<std::string>& into) {
        Allow(option);
        into = TakeValue();
        if (into->empty()) throw UsageError(name_ + " needs a file");
    }

    // The options that name a file or folder, and a journal given as the operand.
    bool TakeFile() {
        if (name_ == "--catalogue") {
            File(kCatalogue, options_.catalogue);
        } else if (name_ == "--journal") {
            File(kJournal, options_.journal);
        } else if (name_ == "--default-hive") {
            File(kDefaultHive, options_.defaultHive);
        } else if (name_ == "--out") {
            File(kOut, options_.out);
        } else if (name_ == "--policy-definitions") {
            File(kPolicy, options_.policyDefinitions);
        } else if (name_ == "--into") {
            File(kImport, options_.into);
        } else if ((allowed_ & kOperand) != 0 && !options_.journal && !name_.empty() &&
                   name_[0] != '-') {
            options_.journal = name_;
        } else if ((allowed_ & kImport) != 0 && !options_.file && !name_.empty() &&
                   name_[0] != '-') {
            options_.file = name_;
        } else {
            return false;
        }
        return true;
    }

    // Which entries plan and apply take.
    bool TakeSelection() {
        if (name_ == "--items" || name_ == "--exclude") {
            Allow(kSelection);
            AddList(name_, TakeValue(), name_ == "--items" ? options_.items : options_.excluded,
                    false);
        } else if (name_ == "--category" || name_ == "--impact") {
            Allow(kSelection);
            AddList(name_, TakeValue(),
                    name_ == "--category" ? options_.categories : options_.impacts, true);
        } else if (name_ == "--this-windows") {
            thisWindows = Flag(kSelection);
        } else if (name_ == "--all-versions") {
            options_.allVersions = Flag(kSelection);
        } else {
            return false;
        }
        return true;
    }

    bool TakeOther() {
        if (name_ == "--no-policy-definitions" || name_ == "--strict") {
            (name_ == "--strict" ? options_.strict : options_.noPolicyDefinitions) = Flag(kPolicy);
        } else if (name_ == "--user") {
            Allow(kUser);
            const auto users = kUsers.find(Lower(TakeValue()));
            if (users == kUsers.end()) throw UsageError("--user takes current, default or both");
            options_.users = users->second;
        } else if (name_ == "--command-timeout") {
            Allow(kWait);
            options_.commandTimeout = Seconds(name_, TakeValue(), 1);
        } else if (name_ == "--wait-for-lock") {
            Allow(kLock);
            options_.lockWait = Seconds(name_, TakeValue(), 0);
        } else if (name_ == "--no-wait") {
            options_.noWait = Flag(kWait);
        } else if (name_ == "--json") {
            options_.json = Flag(kJson);
        } else if (name_ == "--quiet") {
            options_.quiet = Flag(kQuiet);
        } else if (name_ == "--dry-run") {
            options_.dryRun = Flag(kDryRun);
        } else if (name_ == "--detailed-exitcode") {
            options_.detailedExitCode = Flag(kDetailed);
        } else if (name_ == "--force") {
            options_.force = Flag(kForce);
        } else if (name_ == "--trust-catalogue") {
            options_.trustCatalogue = Flag(kTrust);
        } else if (name_ == "--trust-journal") {
            options_.trustJournal = Flag(kTrustJournal);
        } else if (name_ == "--local-policy" || name_ == "--remove") {
            (name_ == "--remove" ? options_.remove : options_.localPolicy) = Flag(kExport);
        } else if (name_ == "--format" || name_ == "--root") {
            Allow(name_ == "--format" ? kExport : kImport);
            (name_ == "--format" ? options_.format : options_.root) =
                codes::UpperAscii(TakeValue());
        } else {
            return false;
        }
        return true;
    }

    const std::vector<std::string>& arguments_;
    const unsigned allowed_;
    Options& options_;
    size_t i_ = 1;
    std::string name_;
    std::optional<std::string> value_;
    std::set<std::string> given_;  // the options read so far
};

// help, help COMMAND, --help, --version.
std::optional<Options> HelpOrVersion(const std::vector<std::string>& arguments) {
    Options options;
    const std::string first = Lower(arguments[0]);
    if (first == "--version") {
        if (arguments.size() > 1) throw UsageError("--version takes nothing after it");
        options.command = Command::Version;
        return options;
    }
    if (first != "help" && !IsHelp(first)) return std::nullopt;
    options.command = Command::Help;
    if (arguments.size() > 2) throw UsageError(first + " takes at most a command after it");
    if (arguments.size() == 2) {
        const CommandHelp* command = Find(Lower(arguments[1]));
        if (command == nullptr) throw UsageError("unknown command '" + arguments[1] + "'");
        options.helpFor = command->command;
    }
    return options;
}

void CheckExport(const Options& options) {
    if (options.format != "REG" && options.format != "POL") {
        throw UsageError("export needs --format reg or --format pol");
    }
    const bool pol = options.format == "POL";
    if (!pol && (options.localPolicy || options.remove)) {
        throw UsageError("--local-policy and --remove go with --format pol");
    }
    if (options.localPolicy == options.out.has_value()) {
        throw UsageError(pol ? "export --format pol needs either --out FOLDER or --local-policy"
                             : "export --format reg needs --out FILE");
    }
}

void CheckImport(const Options& options) {
    if (!options.file) throw UsageError("import needs a FILE");
    if (options.out && options.into) throw UsageError("--out and --into exclude each other");
    if (!options.out && !options.into) {
        throw UsageError("import needs --out CATALOGUE or --into CATALOGUE");
    }
    if (options.root && options.root != "HKLM" && options.root != "HKCU") {
        throw UsageError("--root takes HKLM or HKCU");
    }
    if (options.force && !options.out) throw UsageError("import --force goes with --out");
}

void CheckTogether(const Options& options, unsigned allowed, bool thisWindows) {
    if ((allowed & kOperand) != 0 && !options.journal) throw UsageError("undo needs a FILE");
    if (thisWindows && options.allVersions) {
        throw UsageError("--this-windows and --all-versions exclude each other");
    }
    if (options.policyDefinitions && options.noPolicyDefinitions) {
        throw UsageError("--policy-definitions and --no-policy-definitions exclude each other");
    }
    if (options.commandTimeout && options.noWait) throw UsageError("--no-wait takes no timeout");
    if ((allowed & kExport) != 0) CheckExport(options);
    if ((allowed & kImport) != 0) CheckImport(options);
    if (options.defaultHive && (allowed & kUser) != 0 && options.users == Users::Current) {
        throw UsageError("--default-hive goes with --user default or both");
    }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments) {
    if (arguments.empty()) throw UsageError("no command given");
    if (std::optional<Options> help = HelpOrVersion(arguments)) return *help;
    const CommandHelp* command = Find(Lower(arguments[0]));
    if (command == nullptr) throw UsageError("unknown command '" + arguments[0] + "'");
    Options options;
    options.command = command->command;
    // COMMAND --help asks for that command's usage, whatever else is there.
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (IsHelp(arguments[i])) {
            options.helpFor = options.command;
            options.command = Command::Help;
            return options;
        }
    }
    try {
        OptionReader reader(arguments, command->allowed, options);
        reader.ReadAll();
        CheckTogether(options, command->allowed, reader.thisWindows);
    } catch (const UsageError& wrong) {
        throw UsageError(wrong.what(), command->command);
    }
    return options;
}

}  // namespace cli
