#pragma once
// Reads the catalogue file into the catalogue: one new OptimizationItem per item element, in
// file order. A file that is missing or cannot be loaded gives an empty catalogue; nothing is
// reported and nothing is thrown.

#include <string>

#include "catalogue/OptimizationItem.h"

class XmlDocumentFactory;

class XmlReader {
public:
    // executableFolder: where the catalogue lives when no path is given.
    XmlReader(XmlDocumentFactory& xml, std::string executableFolder)
        : xml_(xml), executableFolder_(std::move(executableFolder)) {}

    // HardPath empty: OrvikOptimizations.xml beside the executable; else the file's full path.
    OptimizationList ReadXML(const std::string& HardPath = std::string());

private:
    XmlDocumentFactory& xml_;
    std::string executableFolder_;
};

namespace catalogue {

// The level a query warns at, from the text of its WarningLevel element. Anything that is not a
// whole decimal number in the 16-bit range warns as soon as the query finds one object: a level
// the file cannot state must neither hide what the query finds nor warn when it finds nothing.
inline constexpr int16_t kUnreadableWarningLevel = 1;
int16_t ParseWarningLevel(const std::string& value);

}  // namespace catalogue
