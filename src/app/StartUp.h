#pragma once
// How the program starts: the argument text, the choice between the silent run and the editor,
// and the silent run itself.

#include <string>

#include "engine/EnginePlatform.h"

class XmlDocumentFactory;
class FileSecurity;

// The argument text: the command line after the program's own name, as Windows splits that name
// off (a name in double quotes runs to the closing quote, otherwise to the first blank), without
// the blanks that follow it. The rest stays as it is, trailing blanks included.
std::string ArgumentText(const std::string& commandLine);

enum class StartMode {
    SilentRun,  // "-RUN": apply the catalogue and end without a window
    Editor,     // anything else: splash, then the editor
};

// Upper-cases the whole argument text and compares it, untrimmed, with "-RUN".
StartMode ChooseStart(const std::string& argumentText);

// Reads the catalogue beside the executable and applies every enabled entry that the editor
// offers on this Windows version. Run elevated, it applies nothing from a catalogue that others
// than administrators may change, and logs why.
void SilentRun(XmlDocumentFactory& xml, const EnginePlatform& platform, FileSecurity& security);
