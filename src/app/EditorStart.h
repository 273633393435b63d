#pragma once
// The interactive start: the splash, then the editor, on the given toolkit.

#include <string>

#include "engine/EnginePlatform.h"

class Toolkit;
class Shell;
class XmlDocumentFactory;

// Shows the splash (or runs silently for "-RUN") and handles input until the program ends;
// gives the exit code.
int RunInteractive(Toolkit& toolkit, Shell& shell, XmlDocumentFactory& xml,
                   const EnginePlatform& platform, const std::string& argumentText);
