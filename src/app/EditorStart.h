#pragma once
// The interactive start: the splash, then the editor, on the given toolkit.

#include "engine/EnginePlatform.h"

class Toolkit;
class Shell;
class XmlDocumentFactory;
class FileSecurity;
class PolicyFolders;

// Shows the splash, then the editor, and handles input until the program ends; gives the exit
// code. Run elevated, the editor opens a catalogue that others may change read-only.
int RunInteractive(Toolkit& toolkit, Shell& shell, XmlDocumentFactory& xml,
                   PolicyFolders& policies, const EnginePlatform& platform,
                   FileSecurity& security);
