// The catalogue reader on any bytes: it never fails, throws or crashes, and what it reads is a
// fixed point of writing and reading again: the writer takes every catalogue the reader makes,
// and reading the file it wrote gives the same records field by field, but for a carriage
// return inside a value (from a character reference), which comes back as a line feed.

#include <cstdint>
#include <cstdio>
#include <string>

#include "CatalogueCompare.h"
#include "CatalogueFiles.h"
#include "FuzzCheck.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static BytesAsFile files;
    files.bytes.assign(reinterpret_cast<const char*>(data), size);

    const OptimizationList first = XmlReader(files, "/nonexistent").ReadXML(BytesAsFile::kPath);
    if (first.empty()) return 0;

    const bool written = XmlWriter(files, "/nonexistent").WriteXMLFile(first, ScratchFile());
    FUZZ_CHECK(written, "the writer refused a catalogue that the reader made");
    const OptimizationList second = XmlReader(files, "/nonexistent").ReadXML(ScratchFile());
    std::remove(ScratchFile().c_str());
    const std::string difference = cataloguecheck::FirstDifference(
        cataloguecheck::WithTexts(first, cataloguecheck::LineFeeds), second);
    FUZZ_CHECK(difference.empty(), "read, written and read again: " + difference);
    return 0;
}
