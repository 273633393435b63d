#pragma once
// How the program starts: the argument text, the choice between the silent run and the editor,
// and the silent run itself.

#include <chrono>
#include <string>

#include "engine/EnginePlatform.h"

class XmlDocumentFactory;
class FileSecurity;
class RunLock;

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

// The silent run's exit codes.
inline constexpr int kSilentDone = 0;
inline constexpr int kSilentActionFailed = 1;  // at least one action failed (and was logged)
inline constexpr int kSilentRefused = 2;       // nothing applied; one log line says why
inline constexpr int kSilentBusy = 6;  // another run held the run lock past the wait; logged
// How long the silent run waits for another run that holds the machine's run lock.
inline constexpr std::chrono::seconds kSilentLockWait{60};

// Reads the catalogue beside the executable and applies every enabled entry that the editor
// offers on this Windows version. It applies nothing, and logs one line why, when the catalogue
// is missing or cannot be read, when it is elevated and others than administrators may change
// the catalogue, or when it is not elevated and an entry writes more than HKEY_CURRENT_USER.
// Run as SYSTEM with HKEY_CURRENT_USER values, it logs that once; without a visible window
// station, it logs WMI warnings instead of showing them. It holds the machine's run lock while it
// applies; when another run still holds it after kSilentLockWait, or it cannot be had, it applies
// nothing and logs why.
int SilentRun(XmlDocumentFactory& xml, const EnginePlatform& platform, FileSecurity& security,
              RunLock& lock);
