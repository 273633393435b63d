#pragma once
// The machine as Save and Export see it: a disk of catalogue files held as records, other files
// by name only, and a record of what was started or opened.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "platform/Shell.h"

// Catalogue files are kept as deep copies, so that reading one gives fresh records every time,
// as the real reader does.
struct FakeDisk {
    std::map<std::string, OptimizationList> catalogues;
    std::set<std::string> files;  // any other file that exists

    static OptimizationList Copy(const OptimizationList& list) {
        OptimizationList copy;
        for (const auto& entry : list) copy.push_back(std::make_shared<OptimizationItem>(*entry));
        return copy;
    }
    bool Exists(const std::string& path) const {
        return catalogues.count(path) != 0 || files.count(path) != 0;
    }
};

class FakeShell : public Shell {
public:
    explicit FakeShell(FakeDisk& disk) : disk(disk) {}

    bool FileExists(const std::string& path) override { return disk.Exists(path); }
    uint32_t StartProcess(const std::string& commandLine) override {
        started.push_back(commandLine);
        return startResult;
    }
    uint32_t OpenDocument(const std::string& path) override {
        opened.push_back(path);
        if (!disk.Exists(path)) return 2;
        return openResult;
    }
    uint32_t TransformToHtml(const std::string& xmlPath, const std::string& xslPath,
                             const std::string& htmlPath) override {
        transforms.push_back(xmlPath + "|" + xslPath + "|" + htmlPath);
        if (transformResult == 0) disk.files.insert(htmlPath);
        return transformResult;
    }
    std::string TempFolder() override { return "C:\\Temp"; }
    uint32_t ReplaceFile(const std::string& from, const std::string& to) override {
        replaces.push_back(from + ">" + to);
        if (replaceResult != 0) return replaceResult;
        auto it = disk.catalogues.find(from);
        if (it == disk.catalogues.end()) return 2;
        disk.catalogues[to] = it->second;
        disk.catalogues.erase(from);
        return 0;
    }
    void RemoveFile(const std::string& path) override {
        removed.push_back(path);
        disk.catalogues.erase(path);
        disk.files.erase(path);
    }
    uint32_t ProbeWrite(const std::string& path) override {
        probes.push_back(path);
        return probeResult;
    }
    std::string ErrorText(uint32_t code) override { return "error " + std::to_string(code); }

    FakeDisk& disk;
    uint32_t startResult = 0;
    uint32_t openResult = 0;
    uint32_t transformResult = 0;
    uint32_t replaceResult = 0;
    uint32_t probeResult = 0;
    std::vector<std::string> probes;
    std::vector<std::string> started;
    std::vector<std::string> opened;
    std::vector<std::string> transforms;
    std::vector<std::string> replaces;
    std::vector<std::string> removed;
};
