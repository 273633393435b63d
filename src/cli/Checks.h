#pragma once
// The check of a catalogue: what the reader passes over or reads as a default, and what it
// cannot judge (Numbers, queries, keys, values), each as a problem with where it stands and what
// a run would do with it.

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/OptimizationItem.h"

namespace cli {

struct Problem {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string code;  // short and stable, e.g. "unknown-version"
    uint32_t line = 0;  // 0: not known
    uint32_t column = 0;
    std::string message;
};

class CatalogueCheck {
public:
    // The checks of the records the reader made.
    void CheckRecords(const OptimizationList& catalogue);

    // Every problem found, in the order of the file.
    std::vector<Problem> Problems() const;
    bool HasErrors() const;
    // False when the file gave no catalogue at all (missing, refused, not well-formed).
    bool Readable() const { return readable_; }

private:
    void Add(Problem::Severity severity, std::string code, uint32_t line, uint32_t column,
             std::string message);

    std::vector<Problem> problems_;
    bool readable_ = true;
};

}  // namespace cli
