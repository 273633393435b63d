// The catalogue reader on any bytes: it never fails, throws or crashes, and what it reads is a
// fixed point of writing and reading again, but for a carriage return inside a value (from a
// character reference), which comes back as a line feed.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "CatalogueCheck.h"
#include "FuzzCheck.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

namespace {

uint64_t Key(const XmlPosition& at) { return (uint64_t{at.line} << 32) | at.column; }

template <typename List>
bool Ascending(uint64_t last, const List& entries) {
    for (const auto& entry : entries) {
        if (Key(entry.Position) <= last) return false;
        last = Key(entry.Position);
    }
    return true;
}

bool InFileOrder(const OptimizationList& records) {
    uint64_t last = 0;
    for (const OptimizationItemPtr& record : records) {
        const uint64_t at = Key(record->Position);
        if (at <= last || !Ascending(at, record->regItems) || !Ascending(at, record->cmdItems) ||
            !Ascending(at, record->wmiItems)) {
            return false;
        }
        last = at;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cataloguecheck;
    static const std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    XmlReader reader(*xml, "/nonexistent");
    const OptimizationList first = reader.ReadXML(ScratchFile());
    if (first.empty()) return 0;
    FUZZ_CHECK(InFileOrder(first), "positions out of file order");

    const bool written = XmlWriter(*xml, "/nonexistent").WriteXMLFile(first, ScratchFile());
    FUZZ_CHECK(written, "the writer refused a catalogue that the reader made");
    const std::string difference =
        FirstDifference(Dump(first, true), Dump(reader.ReadXML(ScratchFile())));
    std::remove(ScratchFile().c_str());
    FUZZ_CHECK(difference.empty(), "read, written and read again: " + difference);
    return 0;
}
