#pragma once
// The interactive start: the splash, then the editor, on the given toolkit.

#include "engine/EnginePlatform.h"

class Toolkit;
class Shell;
class XmlDocumentFactory;
class FileSecurity;
class PolicyFolders;
class ConsoleFiles;
class ProgramSearch;
class RunLock;

// What the editor needs beyond the engine's platform.
struct EditorPlatform {
    Shell& shell;
    XmlDocumentFactory& xml;
    PolicyFolders& policies;
    FileSecurity& security;
    ConsoleFiles& files;      // the journals
    ProgramSearch& programs;  // the plan of command lines
    RunLock& lock;            // the machine's run lock: Run and Undo hold it
};

// Shows the splash, then the editor, and handles input until the program ends; gives the exit
// code. Run elevated, the editor opens a catalogue that others may change read-only.
int RunInteractive(Toolkit& toolkit, const EditorPlatform& machine, const EnginePlatform& platform);
