#pragma once
// What turns an apply into a plan: the same runners over a registry that reads the machine and
// keeps writes to itself, a launcher that finds the program instead of starting it, and a log
// that keeps its lines. WMI is used as it is (it only reads). Neither of the console program's
// runs shows a message box.

#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/ProcessLauncher.h"
#include "platform/ProgramSearch.h"
#include "platform/Registry.h"
#include "platform/ScheduledTasks.h"
#include "platform/ServiceControl.h"

namespace engine {

// Reads go to the machine; keys that would be made, values that would be written or deleted are
// kept here, and later reads of the same plan see them, so each action is planned against what
// the actions before it would have left. Opening a key with write access asks the machine for
// that access, so a plan meets the refusals a run would meet. Key and value names are compared
// without regard to ASCII case; the 32- and 64-bit views share what is kept. Enumeration shows
// what the plan would have left: the machine's keys and values less those it deleted, then its
// own. A key is deleted as the machine deletes one, only once nothing is below it, so that a dry
// run of undo says what undo does.
class PlanRegistry final : public Registry {
public:
    explicit PlanRegistry(Registry& machine) : machine_(machine) {}
    ~PlanRegistry() override;
    PlanRegistry(const PlanRegistry&) = delete;
    PlanRegistry& operator=(const PlanRegistry&) = delete;

    int32_t OpenKey(RegKey root, const std::string& subKey, uint32_t access, RegKey& key) override;
    int32_t CreateKey(RegKey root, const std::string& subKey, uint32_t access,
                      RegKey& key) override;
    int32_t QueryValue(RegKey key, const std::string& name, uint32_t& type, uint8_t* data,
                       uint32_t& size) override;
    int32_t SetValue(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
    int32_t DeleteValue(RegKey key, const std::string& name) override;
    int32_t DeleteKey(RegKey root, const std::string& subKey, uint32_t view) override;
    int32_t EnumKey(RegKey key, uint32_t index, char* name, uint32_t size) override;
    int32_t QueryInfoKey(RegKey key, uint32_t& maxValueNameLength) override;
    int32_t EnumValue(RegKey key, uint32_t index, char* name, uint32_t& nameLength) override;
    int32_t ConnectRegistry(const std::string& machine, RegKey root, RegKey& key) override;
    int32_t CloseKey(RegKey key) override;
    uint32_t ExpandEnvironment(const std::string& source, char* buffer, uint32_t size) override;
    // The machine's bytes where the plan has not written; a dry run's own writes stay with it.
    int32_t QueryStored(RegKey key, const std::string& name, uint32_t& type,
                        std::vector<uint8_t>& data) override;

private:
    struct Handle {
        std::string path;    // folded, from the root's own name on
        RegKey machine = 0;  // the machine's handle; 0 for a key that only the plan has made
        uint32_t access = 0;
    };
    struct Stored {
        bool present = false;  // false: deleted by the plan
        uint32_t type = 0;
        std::string data;
        std::string name;  // as written
    };

    // A key named by a root and a path below it.
    struct KeyPlace {
        std::string path;        // folded, from the root's own name on
        RegKey machineRoot = 0;  // where the machine opens subKey from
        bool planOnly = false;   // the root is a key only the plan has made
    };

    KeyPlace KeyPlaceOf(RegKey root, const std::string& subKey) const;
    RegKey Issue(Handle handle);
    const Handle* Find(RegKey key) const;
    // What the plan keeps for a value of an open key; null when it keeps nothing.
    const Stored* Kept(const Handle& handle, const std::string& name) const;
    // The names an enumeration of the key shows, sub keys or values, in order.
    int32_t Names(const Handle& handle, bool keys, std::vector<std::string>& names);

    Registry& machine_;
    std::map<RegKey, Handle> handles_;
    RegKey next_ = 0x7A000;
    std::set<std::string> made_;            // keys the plan has made
    std::set<std::string> deleted_;         // keys of the machine the plan has deleted
    std::map<std::string, Stored> values_;  // folded key path + "\n" + folded value name
};

// The program a command line starts, as process start finds it: a quoted first token, or else
// the shortest run of words up to a blank that names a file; ".exe" added to a name without an
// extension; a name without a path searched in the search folders. Nothing when none is found.
std::optional<std::string> FindProgram(const std::string& commandLine, ProgramSearch& search);

// Finds the program instead of starting it; the last program found stays for the report.
class PlanLauncher final : public ProcessLauncher {
public:
    PlanLauncher(ProgramSearch& search, ProcessLauncher& texts) : search_(search), texts_(texts) {}

    uint32_t Start(const std::string& commandLine, WindowStyle style, StartScope*) override;
    // A plan awaits nothing: a program found counts as one that would end well.
    uint32_t StartAndWait(const std::string& commandLine, WindowStyle style, StartScope* scope,
                          std::chrono::milliseconds, Ending& ending) override {
        ending = {true, 0, {}, {}};
        return Start(commandLine, style, scope);
    }
    std::string ErrorText(uint32_t code) override { return texts_.ErrorText(code); }

    std::optional<std::string> lastProgram;

private:
    ProgramSearch& search_;
    ProcessLauncher& texts_;
};

// Reads the machine's services; a start type set is kept here, and later reads of the same plan
// see it, as a value written is. Names are compared without regard to ASCII case. The machine is
// asked once per service: a plan's change and its read-back would ask twice more, and each
// question crosses to the Service Control Manager's process.
class PlanServices final : public ServiceControl {
public:
    explicit PlanServices(ServiceControl& machine) : machine_(machine) {}

    uint32_t Query(const std::string& name, ServiceState& state) override;
    uint32_t SetStart(const std::string& name, const ServiceStart& start) override;
    // Kept as the running flag; what the service would answer (dependents, a refusal) only a run
    // finds.
    uint32_t Stop(const std::string& name) override { return KeepRunning(name, false); }
    uint32_t Start(const std::string& name) override { return KeepRunning(name, true); }
    std::string ErrorText(uint32_t code) override { return machine_.ErrorText(code); }

private:
    uint32_t KeepRunning(const std::string& name, bool running);

    ServiceControl& machine_;
    std::map<std::string, std::pair<uint32_t, ServiceState>> read_;  // by folded name
    std::map<std::string, ServiceStart> kept_;                       // by folded name
    std::map<std::string, bool> running_;                            // by folded name
};

// The same for scheduled tasks: read on the machine once per task, an enabled flag set kept here.
class PlanTasks final : public ScheduledTasks {
public:
    explicit PlanTasks(ScheduledTasks& machine) : machine_(machine) {}

    int32_t IsEnabled(const std::string& path, bool& enabled) override;
    int32_t SetEnabled(const std::string& path, bool enabled) override;
    std::string ErrorText(int32_t hresult) override { return machine_.ErrorText(hresult); }

private:
    ScheduledTasks& machine_;
    std::map<std::string, std::pair<int32_t, bool>> read_;  // by folded path
    std::map<std::string, bool> kept_;                      // by folded path
};

// Why a plan cannot tell what a command line changes, for the programs whose effect is known to
// be so: it is neither read before nor put back by undo. Empty for any other command.
std::string UnknowableEffect(const std::string& commandLine);

// The log lines a run would write, kept instead of appended to the file.
class PlanFiles final : public FileSystem {
public:
    explicit PlanFiles(FileSystem& machine) : machine_(machine) {}

    bool Append(const std::string&, const std::string& bytes) override {
        kept += bytes;
        return true;
    }
    std::string ToSystemCodePage(const std::string& utf8) override {
        return machine_.ToSystemCodePage(utf8);
    }

    std::string kept;

private:
    FileSystem& machine_;
};

// A WMI warning is reported, never shown.
class NoMessageBoxes final : public MessageBoxes {
public:
    void ShowOk(const std::string&) override {}
};

}  // namespace engine
