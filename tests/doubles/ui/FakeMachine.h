#pragma once
// The machine and services as the editor sees them: catalogue files held as records (read back
// as fresh copies, as the real reader gives), other files by name only, a chosen Windows version,
// and a record of what was written, replaced, opened and applied.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FakeRunLock.h"
#include "platform/Shell.h"
#include "ui/EditorServices.h"

class FakeMachine : public Shell, public EditorServices {
public:
    static OptimizationList Copy(const OptimizationList& list) {
        OptimizationList copy;
        for (const auto& entry : list) copy.push_back(std::make_shared<OptimizationItem>(*entry));
        return copy;
    }
    bool Exists(const std::string& path) const {
        return catalogues.count(path) != 0 || files.count(path) != 0;
    }
    std::string CataloguePath() const { return "C:\\Orvik\\OrvikOptimizations.xml"; }

    // EditorServices
    int32_t GetOSVersion() override { return 5; }  // Windows 7
    OptimizationList ReadXML(const std::string& HardPath = "") override {
        const auto it = catalogues.find(HardPath.empty() ? CataloguePath() : HardPath);
        return it == catalogues.end() ? OptimizationList{} : Copy(it->second);
    }
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path) override {
        writes.push_back(path);
        if (failWrites) return false;
        catalogues[path] = Copy(opItems);
        if (truncateWrites) catalogues[path].pop_back();  // a full disk: the file ends part-way
        return true;
    }
    RunOutcome RunOptimizations(const OptimizationList& Settings) override {
        runs.push_back(Copy(Settings));
        heldByRuns.push_back(lock.held);
        return runOutcome;
    }
    EntryPlan PlanEntry(const OptimizationItem& entry) override {
        ++planned;
        const auto plan = plans.find(entry.Number);
        return plan == plans.end() ? EntryPlan{} : plan->second;
    }
    std::optional<JournalEntry> LastRun() override { return std::nullopt; }
    UndoOutcome UndoRun(const JournalEntry&) override { return {}; }
    std::string ExecutableFolder() override { return "C:\\Orvik"; }
    std::vector<std::string> PolicyLines(const OptimizationItem& entry) override {
        const auto lines = policyLines.find(entry.Number);
        return lines == policyLines.end() ? std::vector<std::string>{} : lines->second;
    }
    std::string CatalogueRefusal() override { return refusal; }
    std::string ElevationNeeded(const OptimizationList&) override { return elevationNeeded; }
    engine::RunLockHold TryRunLock() override { return {lock, std::chrono::milliseconds(0)}; }

    // Shell
    RenderedReport RenderReport(const std::string& xml, const std::string& xsl) override {
        for (const std::string& file : {xml, xsl}) {
            if (!Exists(file)) return {"", file, "missing"};
        }
        return {"report of " + xml, "", ""};
    }
    uint32_t OpenDocument(const std::string& path) override {
        opened.push_back(path);
        return Exists(path) ? openResult : 2;
    }
    uint32_t WriteFileBytes(const std::string& path, const std::string& bytes) override {
        if (unwritable.count(path)) return 5;
        files.insert(path);
        pages[path] = bytes;
        return 0;
    }
    std::string TempFolder() override { return "C:\\Temp"; }
    uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
        replaces.push_back(from + ">" + to);
        if (replaceResult != 0) return replaceResult;
        catalogues[to] = catalogues[from];
        catalogues.erase(from);
        return 0;
    }
    void RemoveFile(const std::string& path) override {
        catalogues.erase(path);
        files.erase(path);
    }
    uint32_t ProbeWrite(const std::string&) override { return probeResult; }
    std::vector<std::string> FileNames(const std::string&) override { return {}; }
    uint32_t StartSelfElevated() override {
        ++elevatedStarts;
        return elevatedResult;
    }
    std::string ErrorText(uint32_t code) override { return "error " + std::to_string(code); }

    std::map<std::string, OptimizationList> catalogues;
    std::set<std::string> files;  // any other file that exists
    std::set<std::string> unwritable;
    std::map<std::string, std::vector<std::string>> policyLines;  // by Number
    std::map<std::string, std::string> pages;                     // what WriteFileBytes wrote
    bool failWrites = false;
    bool truncateWrites = false;
    uint32_t openResult = 0;
    uint32_t replaceResult = 0;
    uint32_t probeResult = 0;
    std::vector<std::string> writes, replaces, opened;
    std::string refusal;          // CatalogueRefusal
    std::string elevationNeeded;  // ElevationNeeded
    uint32_t elevatedResult = 0;  // of StartSelfElevated
    int elevatedStarts = 0;
    std::map<std::string, EntryPlan> plans;  // by Number; NotCheckable for others
    size_t planned = 0;
    std::vector<OptimizationList> runs;  // what each Run applied, as it was then
    FakeRunLock lock;
    std::vector<int> heldByRuns;  // how often the lock was held while each Run applied
    RunOutcome runOutcome{"C:\\ProgramData\\Orvik Optimizer\\Journals\\run.journal", "", ""};
};
