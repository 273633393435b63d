#pragma once
// The console program: validate, plan and apply a catalogue from the command line, undo a run
// from its journal, and make the catalogue's report page, with exit codes and a text or JSON
// report. Everything it stands on comes in through CliPlatform.

#include <string>
#include <vector>

#include "engine/EnginePlatform.h"

class XmlDocumentFactory;
class ProgramSearch;
class Console;
class ConsoleFiles;
class UserHives;
class ReportRenderer;
class PolicyFolders;
class FileSecurity;
class RunLock;

namespace cli {

struct CliPlatform {
    XmlDocumentFactory& xml;
    // The machine as apply changes it; its message boxes are never used.
    EnginePlatform machine;
    ProgramSearch& programs;
    Console& console;
    ConsoleFiles& files;
    UserHives& hives;
    ReportRenderer& reports;
    PolicyFolders& policies;
    FileSecurity& security;
    RunLock& lock;  // the machine's run lock: apply and undo hold it
};

// The arguments after the program's name; gives the exit code.
int Main(const std::vector<std::string>& arguments, CliPlatform& platform);

}  // namespace cli
