#pragma once
// What one command found and did, and its two views: text for people, JSON for scripts.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/Options.h"
#include "engine/Outcomes.h"
#include "engine/RunObserver.h"
#include "engine/ValueText.h"
#include "engine/checks/Checks.h"
#include "engine/checks/PolicyChecks.h"

class Console;

namespace json {
class JsonWriter;
}

namespace cli {

using engine::DataText;
using engine::DescriptionText;
using engine::KeyText;
using engine::MultiStrings;
using engine::PolicyDefinitionsReport;
using engine::PolicyNote;
using engine::Problem;
using engine::StateText;
using engine::TypeName;
using engine::ValueNameText;

struct WindowsInfo {
    int32_t code = 0;
    std::string name;
    uint32_t build = 0;
    bool wow64 = false;
};

struct ActionReport {
    ActionRecord record;
    std::string outcome;                 // the word the report shows (engine::OutcomeWord)
    std::optional<std::string> program;  // plan: the program a command would start
    std::optional<PolicyNote> policy;    // a registry value under a policy key
};

struct EntryReport {
    const OptimizationItem* entry = nullptr;
    std::vector<ActionReport> actions;
    bool leftOut = false;  // meant for other Windows versions: every action skip
};

struct Report {
    Command command = Command::Validate;
    Users users = Users::Current;
    std::string hiveFile;  // the default profile's, when the run reaches it
    std::optional<std::string> journal;
    std::string cataloguePath;
    std::optional<std::string> sha256;  // none when the file cannot be read
    WindowsInfo windows;
    bool readable = true;  // the file gave a catalogue
    std::vector<Problem> problems;
    bool strict = false;  // --strict: warnings count as errors
    PolicyDefinitionsReport policyDefinitions;
    std::unordered_map<const RegistryItem*, PolicyNote> policyNotes;
    // validate: every entry read; plan and apply: the entries run, with their actions.
    std::vector<EntryReport> entries;
    bool refused = false;  // apply: the catalogue has errors and --force was not given
    // Nothing was run: what it needs could not be had (an error among the problems says what).
    bool stopped = false;
    bool busy = false;              // stopped: another run held the machine's run lock
    bool cleanupFailed = false;     // the default profile stays loaded
    bool journalFailed = false;     // apply: a record of the journal could not be written
    bool catalogueTrusted = false;  // apply --trust-catalogue
    bool detailed = false;          // plan --detailed-exitcode
    int exitCode = 0;
};

namespace exit_code {
inline constexpr int kDone = 0;
inline constexpr int kActionFailed = 1;
inline constexpr int kCatalogue = 2;
inline constexpr int kWarned = 3;
// The command did its work, but standard output refused its report.
inline constexpr int kNotReported = 4;
inline constexpr int kConflict = 5;
// Another run held the machine's run lock past the wait: nothing was done; try again later.
inline constexpr int kBusy = 6;
// plan --detailed-exitcode: nothing failed, and a run would change the machine.
inline constexpr int kPending = 2;
inline constexpr int kUsage = 64;
}  // namespace exit_code

// What the command's run is to the engine: apply changes the machine, the others plan.
engine::RunMode ModeOf(Command command);
int ExitCodeOf(const Report& report);
// What the actions came to: how many changed the machine (a plan's: would change it), and how
// many were done and changed nothing. Command lines and WMI checks count in neither.
struct ChangeCount {
    int64_t changed = 0;
    int64_t unchanged = 0;
};
ChangeCount CountChanges(const Report& report);
// Why an entry was left out: the versions it is meant for, and this one.
std::string LeftOutReason(const OptimizationItem& entry, const WindowsInfo& windows);
// Errors among the problems; with --strict, warnings too.
bool HasErrors(const Report& report);
// A failure log that lacks lines of the run: said on standard error, and a warning in the report.
void LogNotWritten(const std::string& path, size_t lines, Console& console, Report& report);

std::string ReportText(const Report& report);
std::string ReportJson(const Report& report);

// Pieces that the undo report shares: text padded to a width, the problems as lines (after a
// blank line), and the summary's end with the counts of errors and warnings and the exit code.
std::string Padded(std::string text, size_t width);
std::string ProblemsText(const std::vector<Problem>& problems);
std::string SummaryTail(const std::vector<Problem>& problems, int exitCode);
// JSON: a value (null, or its type and data) and the problems array, giving the errors' count.
void ValueJson(json::JsonWriter& json, const RegistryData& value);
int64_t ProblemsJson(json::JsonWriter& json, const std::vector<Problem>& problems);

}  // namespace cli

namespace cli {

// Where a record's element starts in the catalogue file: line and column, 0 when not known.
struct Place {
    uint32_t line = 0;
    uint32_t column = 0;
};
template <typename Record>
Place PlaceOf(const Record& record) {
    return {record.Position.line, record.Position.column};
}
Place PlaceOf(const ActionRecord& record);

}  // namespace cli
