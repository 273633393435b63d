#pragma once
// The check of a catalogue: what the reader passes over or reads as a default, and what it
// cannot judge (Numbers, queries, keys, values), each as a problem with where it stands and what
// a run would do with it.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"
#include "catalogue/XmlReader.h"

namespace engine {

struct Problem {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string code;   // short and stable, e.g. "unknown-version"
    uint32_t line = 0;  // 0: not known
    uint32_t column = 0;
    std::string message;
};

// Hears the reader while it reads, then checks what it read.
class CatalogueCheck final : public ReadObserver {
public:
    void Notice(const ReadNotice& notice) override;
    // The checks of the records the reader made; after the reading.
    void CheckRecords(const OptimizationList& catalogue);

    // Every problem found, in the order of the file.
    std::vector<Problem> Problems() const;
    bool HasErrors() const;
    // False when the file gave no catalogue at all (missing, refused, not well-formed).
    bool Readable() const { return readable_; }

private:
    void Add(Problem::Severity severity, std::string code, XmlPosition at, std::string message);
    void MissingElement(const ReadNotice& notice);
    // The file gave no catalogue: unreadable, refused, not well-formed, or a wrong root.
    void NoCatalogue(const ReadNotice& notice);
    void CheckRegistryItem(const RegistryItem& value);
    void CheckService(const ServiceItem& service);
    void CheckTask(const TaskItem& task);
    // Start values under a service's key that a Service action would set.
    void CheckStartValues(const OptimizationItem& item);
    void CheckCommand(const cmdItem& command);
    void CheckQuery(const wmiItem& query);

    std::vector<Problem> problems_;
    std::vector<ReadNotice> skipped_;  // unknown elements, until it shows whether one is the root
    bool readable_ = true;
    std::vector<XmlPosition> missingKeys_;  // registry entries without a Key element
};

// In the order of the file; problems without a place (line 0) after those with one.
void SortByPlace(std::vector<Problem>& problems);

// True when the command line's program is a full path ("C:\\..." or "\\\\server\\..."), so
// that no search decides which program starts.
bool NamesFullPath(const std::string& commandLine);
// True when the command line's program is not in quotes and a run of its words up to a later
// blank names a program ("C:\Program Files\x\y.exe /s"), while its first word does not.
bool UnquotedPathWithBlank(const std::string& commandLine);
// The service whose start type the value sets: the key name of
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name> with the value Start (letter case
// ignored, as the registry does), else empty.
std::string ServiceOfStartValue(const RegistryItem& value);
// Services that Windows starts as protected services: the Service Control Manager refuses
// changes to their configuration from any program that is not protected, administrators'
// included, so a catalogue keeps their Start value as a registry value on purpose.
bool IsProtectedService(const std::string& name);

}  // namespace engine
