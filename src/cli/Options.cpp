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

}  // namespace

const char* UsersName(Users users) {
    for (const auto& [name, value] : kUsers) {
        if (value == users) return name.c_str();
    }
    return "";
}

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
    bool thisWindows = false;  // the default, said outright

    for (size_t i = 1; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 &&
                                                  equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        const auto takeValue = [&]() -> std::string {
            if (value) return *value;
            if (i + 1 == arguments.size()) throw UsageError(name + " needs a value");
            return arguments[++i];
        };
        const auto allow = [&](unsigned option) {
            if ((allowed & option) == 0) throw UsageError(first + " does not take " + name);
        };
        const auto flag = [&](unsigned option) {
            allow(option);
            if (value) throw UsageError(name + " takes no value");
            return true;
        };
        const auto file = [&](unsigned option, std::optional<std::string>& into) {
            allow(option);
            into = takeValue();
            if (into->empty()) throw UsageError(name + " needs a file");
        };
        if (name == "--catalogue") {
            file(kCatalogue, options.catalogue);
        } else if (name == "--journal") {
            file(kJournal, options.journal);
        } else if (name == "--default-hive") {
            file(kDefaultHive, options.defaultHive);
        } else if (name == "--out") {
            file(kOut, options.out);
        } else if (name == "--policy-definitions") {
            file(kPolicy, options.policyDefinitions);
        } else if (name == "--no-policy-definitions" || name == "--strict") {
            (name == "--strict" ? options.strict : options.noPolicyDefinitions) = flag(kPolicy);
        } else if (name == "--user") {
            allow(kUser);
            const auto users = kUsers.find(takeValue());
            if (users == kUsers.end()) throw UsageError("--user takes current, default or both");
            options.users = users->second;
        } else if ((allowed & kOperand) != 0 && !options.journal && !name.empty() &&
                   name[0] != '-') {
            options.journal = name;
        } else if (name == "--command-timeout") {
            allow(kWait);
            options.commandTimeout = Seconds(takeValue());
        } else if (name == "--no-wait") {
            options.noWait = flag(kWait);
        } else if (name == "--items") {
            allow(kSelection);
            AddItems(takeValue(), options.items);
        } else if (name == "--json") {
            options.json = flag(kJson);
        } else if (name == "--this-windows") {
            thisWindows = flag(kSelection);
        } else if (name == "--all-versions") {
            options.allVersions = flag(kSelection);
        } else if (name == "--force") {
            options.force = flag(kForce);
        } else if (name == "--trust-catalogue") {
            options.trustCatalogue = flag(kTrust);
        } else {
            throw UsageError("unknown option '" + arguments[i] + "'");
        }
    }
    if ((allowed & kOperand) != 0 && !options.journal) throw UsageError(first + " needs a FILE");
    if (thisWindows && options.allVersions) {
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
