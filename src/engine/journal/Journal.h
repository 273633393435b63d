#pragma once
// The journal of a run: what apply changed, written as it goes, one JSON object a line, so that
// undo can take it back and a run ended midway leaves a journal of what it did. Each registry
// record is written before the change it describes is made.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/JournalingRegistry.h"
#include "engine/JournalingSystem.h"
#include "engine/Users.h"
#include "engine/checks/Checks.h"

class OutputFile;

namespace json {
class JsonWriter;
}

namespace engine {

// Where the default profile's hive is loaded below HKEY_USERS while a command works on it.
inline constexpr const char* kProfileHive = "OrvikDefaultProfile";

struct JournalHeader {
    std::string version;
    std::string cataloguePath;
    std::optional<std::string> sha256;
    std::string machine;
    std::string time;  // UTC, "2026-12-06T08:15:02Z"
    Users users = Users::Current;
    std::string hiveFile;  // the default profile's, when the run wrote to it
};

struct JournalRecord {
    enum class Kind { Entry, Keys, Value, Service, Task, Command, Wmi, End };
    Kind kind = Kind::End;
    uint32_t line = 0;         // in the file, from 1
    std::string number, name;  // Entry
    // Command: the command line; Wmi: the query; Service: its name; Task: its path.
    std::string text, outcome;
    // Keys: root, view and createdKeys; Value: root, subKey, view, valueName, before and after.
    RegistryChange change;
    // Service: the start before and the one set, and stopped when the run stopped it running;
    // Task: the enabled flag before and the one set.
    SystemChange system;
};

struct Journal {
    bool isJournal = false;  // the first line is a journal's head
    JournalHeader header;
    std::vector<JournalRecord> records;  // up to the last whole record
    std::vector<Problem> problems;       // where it is cut short or damaged
};

// A UTF-8 byte-order mark first, as editors may save one, is no part of the head.
Journal ReadJournal(const std::string& bytes);

// Writes the journal of one apply into a file of its own.
class JournalWriter final : public RegistryJournal, public SystemJournal {
public:
    // Writes the head at once; Failure tells whether that worked.
    JournalWriter(OutputFile& file, const JournalHeader& header);

    int32_t KeysCreating(int32_t root, uint32_t view,
                         const std::vector<std::string>& keys) override;
    int32_t ValueChanging(const RegistryChange& change) override;
    int32_t ServiceChanging(const std::string& name, const ServiceStart& before,
                            const ServiceStart& after, bool stops) override;
    int32_t TaskChanging(const std::string& path, bool before, bool after) override;
    void Entry(const OptimizationItem& entry);
    // Command lines and WMI queries, which undo lists but cannot take back.
    void Action(const ActionRecord& record, const std::string& outcome);
    // Onto the disk, after each entry.
    void Flush();
    // The run ended by itself.
    void End();

    // The first error writing the file met, 0 while there is none. After one, no change is made.
    uint32_t Failure() const { return failure_; }
    // How many changes the journal has refused so far, each for Failure: so that whoever reports
    // an action can tell one stopped by the journal from one that failed by itself.
    size_t Refusals() const { return refusals_; }
    // A change (a command start) that is not made because the journal has failed: its error.
    uint32_t Refuse() {
        ++refusals_;
        return failure_;
    }

private:
    int32_t Line(const json::JsonWriter& json);
    // A line for a change: one it could not take refuses the change.
    int32_t ChangeLine(const json::JsonWriter& json) {
        return Line(json) == 0 ? 0 : static_cast<int32_t>(Refuse());
    }

    OutputFile& file_;
    uint32_t failure_ = 0;
    size_t refusals_ = 0;
};

}  // namespace engine
