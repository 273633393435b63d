#pragma once
// Writes a list of optimizations into the catalogue file, in the form the reader reads.
//
// The writer's own layout (the same bytes from every document object of ours): the declaration
// and the stylesheet instruction on lines of their own, then one element per line, indented by
// two blanks per level, line ends LF, the file ending in a line end. A value element is written
// with its start and end tag on one line, also when empty (<Impact></Impact>); a list element
// holds its entries on the lines between its tags. An item's lists follow its fields, each only
// when it has entries, in the order a run takes them: RegistryEntries, Services, ScheduledTasks,
// CommandLines, WMIQueries.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <?xml-stylesheet type="text/xsl" href="OrvikOptimizations.xsl"?>
//   <Optimizations>
//     <Item>
//       <Number>1</Number>
//       ...
//       <CommandLines>
//         <CommandLine>
//           <Command>...</Command>
//         </CommandLine>
//       </CommandLines>
//     </Item>
//   </Optimizations>

#include <string>

#include "catalogue/OptimizationItem.h"

class XmlDocumentFactory;

class XmlWriter {
public:
    // executableFolder: where the catalogue lives.
    XmlWriter(XmlDocumentFactory& xml, std::string executableFolder)
        : xml_(xml), executableFolder_(std::move(executableFolder)) {}

    // Replaces OrvikOptimizations.xml beside the executable with exactly these records, in this
    // order. False when nothing was written: the file could not be saved, or a record holds a
    // Windows-version or mode code without a name (no reader makes one), or an empty slot. The
    // whole document is built before the file is touched, so such a record leaves the file as
    // it was.
    bool WriteXMLFile(const OptimizationList& opItems);
    // The same into the file at path (the editor saves to a file beside the catalogue first).
    bool WriteXMLFile(const OptimizationList& opItems, const std::string& path);

private:
    XmlDocumentFactory& xml_;
    std::string executableFolder_;
};
