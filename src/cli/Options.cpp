#include "cli/Options.h"

#include <map>

namespace cli {

const char* const kUsage =
    "usage: OrvikCli validate [--catalogue FILE] [--json]\n"
    "       OrvikCli plan [--catalogue FILE] [--all-versions] [--items N,N,...] [--json]\n"
    "       OrvikCli apply [--catalogue FILE] [--all-versions] [--items N,N,...] [--json]"
    " [--force]\n"
    "                      [--journal FILE] [--command-timeout SECONDS | --no-wait]\n"
    "                      [--trust-catalogue]\n"
    "       OrvikCli undo FILE [--json] [--default-hive FILE]\n"
    "       OrvikCli report [--catalogue FILE] [--out FILE]\n"
    "       OrvikCli --version\n"
    "  plan and apply also take [--user current|default|both] [--default-hive FILE]\n"
    "  validate, plan and apply also take [--policy-definitions FOLDER]\n"
    "                                     [--no-policy-definitions] [--strict]\n"
    "\n"
    "  validate  check the catalogue and list every problem with its line and column\n"
    "  plan      show what apply would do on this machine, changing nothing\n"
    "  apply     apply the enabled entries offered on this Windows, as Orvik.exe -RUN does,\n"
    "            without any window\n"
    "  undo      put back what the run that wrote the journal FILE changed in the registry\n"
    "  report    the catalogue as the HTML page that the editor's Export makes\n"
    "\n"
    "  --catalogue FILE     another catalogue than OrvikOptimizations.xml beside the program\n"
    "  --all-versions       also the entries meant for other Windows versions; without it\n"
    "                       (or with --this-windows) only those the editor offers here\n"
    "  --items N,N,...      only the entries with these Numbers\n"
    "  --json               one JSON document on standard output instead of text\n"
    "  --force              apply a catalogue that has errors\n"
    "  --trust-catalogue    apply, as administrator, a catalogue that others may change\n"
    "  --journal FILE       write what the run changes into FILE (a new file), for undo\n"
    "  --user WHOSE         HKEY_CURRENT_USER values for the current user (the default), the\n"
    "                       default profile that new users get, or both\n"
    "  --default-hive FILE  the default profile's hive (C:\\Users\\Default\\NTUSER.DAT)\n"
    "  --command-timeout SECONDS  how long apply waits for each command line to end before it\n"
    "                       fails it and goes on, leaving it running (600)\n"
    "  --no-wait            start command lines without waiting for them, as Orvik.exe -RUN\n"
    "  --out FILE           write the page into FILE instead of standard output\n"
    "  --policy-definitions FOLDER  check values under policy keys against the .admx files\n"
    "                       of FOLDER (%SystemRoot%\\PolicyDefinitions when it exists)\n"
    "  --no-policy-definitions      do not check values against policy definitions\n"
    "  --strict             warnings count as errors\n"
    "\n"
    "Exit codes: 0 done, 1 an action failed, 2 the catalogue (undo: the journal) cannot be read\n"
    "or has errors, or what the command needs cannot be had, 3 nothing failed but a WMI check\n"
    "warned, 5 undo left a value alone that changed after the run, 64 wrong usage.\n";

namespace {

// Which options each command takes.
enum Allowed : unsigned {
    kCatalogue = 1,
    kJson = 2,
    kSelection = 4,
    kForce = 8,
    kJournal = 16,
    kUser = 32,
    kDefaultHive = 64,
    kOut = 128,
    kOperand = 256,  // the journal to undo
    kPolicy = 512,   // --policy-definitions, --no-policy-definitions, --strict
    kWait = 1024,  // --command-timeout, --no-wait
    kTrust = 2048,  // --trust-catalogue
};

const std::map<std::string, std::pair<Command, unsigned>> kCommands = {
    {"validate", {Command::Validate, kCatalogue | kJson | kPolicy}},
    {"plan", {Command::Plan, kCatalogue | kJson | kSelection | kUser | kDefaultHive | kPolicy}},
    {"apply",
     {Command::Apply,
      kCatalogue | kJson | kSelection | kForce | kJournal | kUser | kDefaultHive | kPolicy | kWait |
                         kTrust}},
    {"undo", {Command::Undo, kJson | kDefaultHive | kOperand}},
    {"report", {Command::Report, kCatalogue | kOut}},
};

const std::map<std::string, Users> kUsers = {
    {"current", Users::Current}, {"default", Users::Default}, {"both", Users::Both}};

void AddItems(const std::string& list, std::vector<std::string>& items) {
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        std::string number = list.substr(start, comma - start);
        const size_t first = number.find_first_not_of(' ');
        number = first == std::string::npos
                     ? std::string()
                     : number.substr(first, number.find_last_not_of(' ') - first + 1);
        if (number.empty()) throw UsageError("--items takes Numbers separated by commas");
        items.push_back(number);
        if (comma == std::string::npos) return;
        start = comma + 1;
    }
}

// Whole seconds from 1 on, few enough that the wait in milliseconds stays a bound.
uint32_t Seconds(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 7 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const auto seconds = digits ? static_cast<uint32_t>(std::stoul(text)) : 0;
    if (seconds == 0 || seconds > 2000000) {
        throw UsageError("--command-timeout takes whole seconds from 1 to 2000000");
    }
    return seconds;
}

// One pass over the arguments after the command, option by option.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& arguments, unsigned allowed, Options& options)
        : arguments_(arguments), allowed_(allowed), options_(options) {}

    void ReadAll() {
        for (i_ = 1; i_ < arguments_.size(); ++i_) {
            name_ = arguments_[i_];
            value_.reset();
            if (const size_t equals = name_.find('='); name_.rfind("--", 0) == 0 &&
                                                       equals != std::string::npos) {
                value_ = name_.substr(equals + 1);
                name_.erase(equals);
            }
            if (!TakeFile() && !TakeOther()) {
                throw UsageError("unknown option '" + arguments_[i_] + "'");
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
        if ((allowed_ & option) == 0) throw UsageError(arguments_[0] + " does not take " + name_);
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
        } else if ((allowed_ & kOperand) != 0 && !options_.journal && !name_.empty() &&
                   name_[0] != '-') {
            options_.journal = name_;
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
            const auto users = kUsers.find(TakeValue());
            if (users == kUsers.end()) throw UsageError("--user takes current, default or both");
            options_.users = users->second;
        } else if (name_ == "--command-timeout") {
            Allow(kWait);
            options_.commandTimeout = Seconds(TakeValue());
        } else if (name_ == "--no-wait") {
            options_.noWait = Flag(kWait);
        } else if (name_ == "--items") {
            Allow(kSelection);
            AddItems(TakeValue(), options_.items);
        } else if (name_ == "--json") {
            options_.json = Flag(kJson);
        } else if (name_ == "--this-windows") {
            thisWindows = Flag(kSelection);
        } else if (name_ == "--all-versions") {
            options_.allVersions = Flag(kSelection);
        } else if (name_ == "--force") {
            options_.force = Flag(kForce);
        } else if (name_ == "--trust-catalogue") {
            options_.trustCatalogue = Flag(kTrust);
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
};

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    if (arguments.empty()) throw UsageError("no command given");
    const std::string& first = arguments[0];
    if (first == "--version" || first == "--help" || first == "-h" || first == "/?") {
        if (arguments.size() > 1) throw UsageError(first + " takes nothing after it");
        options.command = first == "--version" ? Command::Version : Command::Help;
        return options;
    }
    const auto command = kCommands.find(first);
    if (command == kCommands.end()) throw UsageError("unknown command '" + first + "'");
    options.command = command->second.first;
    const unsigned allowed = command->second.second;
    OptionReader reader(arguments, allowed, options);
    reader.ReadAll();

    if ((allowed & kOperand) != 0 && !options.journal) throw UsageError(first + " needs a FILE");
    if (reader.thisWindows && options.allVersions) {
        throw UsageError("--this-windows and --all-versions exclude each other");
    }
    if (options.policyDefinitions && options.noPolicyDefinitions) {
        throw UsageError("--policy-definitions and --no-policy-definitions exclude each other");
    }
    if (options.commandTimeout && options.noWait) throw UsageError("--no-wait takes no timeout");
    if (options.defaultHive && (allowed & kUser) != 0 && options.users == Users::Current) {
        throw UsageError("--default-hive goes with --user default or both");
    }
    return options;
}

}  // namespace cli
