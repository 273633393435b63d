#pragma once
// The services the editor calls: the running Windows version, the catalogue reader and
// writer, the runner with its journals and their undo, and the plan of one entry. The composition
// root binds them to the real classes; the editor's tests bind them to an in-memory catalogue.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "engine/plan/EntryPlans.h"
#include "engine/session/EditorJournals.h"
#include "engine/session/RunLockHold.h"

class EditorServices {
public:
    virtual ~EditorServices() = default;
    // GlobalUtils.GetOSVersion: the version code of the running machine.
    virtual int32_t GetOSVersion() = 0;
    // XmlReader.ReadXML: the catalogue beside the executable when HardPath is empty. Fresh
    // records at every call; an unreadable file gives an empty list.
    virtual OptimizationList ReadXML(const std::string& HardPath = "") = 0;
    // XmlWriter.WriteXMLFile to an explicit path; false when nothing could be written.
    virtual bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) = 0;
    // runner.RunOptimizations: applies every entry whose Enabled is true, keeping a journal of
    // the run in the machine's journal folder.
    virtual RunOutcome RunOptimizations(const OptimizationList& Settings) = 0;
    // The plan of one entry against the machine as it is now. Reads only; runs no WMI query.
    virtual EntryPlan PlanEntry(const OptimizationItem& entry) = 0;
    // The newest run of the editor on this machine that has not been undone.
    virtual std::optional<JournalEntry> LastRun() = 0;
    // Undoes that run as OrvikCli undo does and marks its journal undone.
    virtual UndoOutcome UndoRun(const JournalEntry& run) = 0;
    // Folder of the executable, without a trailing backslash.
    virtual std::string ExecutableFolder() = 0;
    // One line for each policy that defines values of the entry, from the machine's policy
    // definitions: its display name and the Windows it is supported on. None without them.
    virtual std::vector<std::string> PolicyLines(const OptimizationItem& entry) = 0;
    // Why an elevated editor must not run or save the catalogue (others than administrators may
    // change it); empty when it may.
    virtual std::string CatalogueRefusal() { return ""; }
    // Why running these entries needs an administrator, which the editor is not; empty when it
    // does not.
    virtual std::string ElevationNeeded(const OptimizationList&) { return ""; }
    // The machine's run lock asked for without waiting, held while the hold lives: Run and Undo
    // hold it around their run, so that no other run changes the machine meanwhile.
    virtual engine::RunLockHold TryRunLock() { return {}; }
};
