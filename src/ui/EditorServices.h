#pragma once
// The system services the editor calls: the running Windows version, the catalogue reader and
// writer, and the runner. The composition root binds them to the real classes; the editor's tests
// bind them to an in-memory catalogue.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"

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
    // runner.RunOptimizations: applies every entry whose Enabled is true.
    virtual void RunOptimizations(const OptimizationList& Settings) = 0;
    // Folder of the executable, without a trailing backslash.
    virtual std::string ExecutableFolder() = 0;
    // One line for each policy that defines values of the entry, from the machine's policy
    // definitions: its display name and the Windows it is supported on. None without them.
    virtual std::vector<std::string> PolicyLines(const OptimizationItem& entry) = 0;
    // Why an elevated editor must not run or save the catalogue (others than administrators may
    // change it); empty when it may.
    virtual std::string CatalogueRefusal() { return ""; }
};
