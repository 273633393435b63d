#pragma once
// The editor's services over a FakeDisk: reading and writing catalogue files as records, a
// chosen Windows version, and a runner that records which entries it was told to apply.

#include <string>
#include <vector>

#include "FakeShell.h"
#include "ui/EditorServices.h"

class FakeEditorServices : public EditorServices {
public:
    explicit FakeEditorServices(FakeDisk& disk) : disk(disk) {}

    int32_t GetOSVersion() override { return os; }
    OptimizationList ReadXML(const std::string& HardPath = "") override {
        ++reads;
        auto it = disk.catalogues.find(HardPath.empty() ? CataloguePath() : HardPath);
        return it == disk.catalogues.end() ? OptimizationList{} : FakeDisk::Copy(it->second);
    }
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) override {
        writes.push_back(path);
        if (failWrites) return false;
        OptimizationList written = FakeDisk::Copy(opItems);
        // A full disk: the file ends part-way and reads back short.
        if (truncateWrites && !written.empty()) written.pop_back();
        disk.catalogues[path] = written;
        return true;
    }
    void RunOptimizations(const OptimizationList& Settings) override {
        std::vector<std::string> applied;
        for (const auto& entry : Settings) {
            if (entry->Enabled) applied.push_back(entry->Number);
        }
        runs.push_back(applied);
    }
    std::string ExecutableFolder() override { return folder; }

    std::string CataloguePath() const { return folder + "\\OrvikOptimizations.xml"; }

    FakeDisk& disk;
    int32_t os = 5;  // Windows 7
    std::string folder = "C:\\Orvik";
    bool failWrites = false;
    bool truncateWrites = false;
    int reads = 0;
    std::vector<std::string> writes;
    std::vector<std::vector<std::string>> runs;  // per run: Numbers of the entries applied
};
