// Records made from the fuzzer's bytes, written and read back. What comes back equals what was
// written except for what the file format itself changes: the white space around each value,
// a "Justification:" inside a description (the reader splits at the first one), a carriage
// return (a line end in XML), characters that XML 1.0 cannot carry (left out), malformed UTF-8
// (U+FFFD), and key-type codes without a name (read back as DWORD). A record with a version
// or mode code without a name is refused, and then the file stays as it was.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CatalogueCompare.h"
#include "CatalogueFiles.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"

namespace {

constexpr const char* kMarker = "Justification:";

// Pieces that make the texts: what the format escapes, white space, the marker, characters
// beyond ASCII, characters XML cannot carry, malformed UTF-8.
const std::string kPieces[] = {
    "a", "Z", "7", " ", "\t", "\n", "\r", "\r\n", "<", ">", "&", "'", "\"", "]]>", "&amp;",
    "<!--", "<?x?>", "<![CDATA[", kMarker, "justification:", "\xC3\xA9", "\xE2\x82\xAC",
    "\xF0\x9F\x98\x80", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF\xBD", std::string(1, '\0'),
    "\x01", "\x1F", "\x7F", "\x80", "\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF",
};

std::string Text(FuzzInput& in) {
    std::string text;
    const uint32_t count = in.Below(12);
    for (uint32_t i = 0; i < count && !in.Empty(); ++i) {
        const uint8_t choice = in.Byte();
        constexpr size_t kCount = sizeof kPieces / sizeof kPieces[0];
        if (choice < kCount) {
            text += kPieces[choice];
        } else {
            text += static_cast<char>(in.Byte());  // any byte at all
        }
    }
    return text;
}

int32_t Code(FuzzInput& in, int32_t named) {
    // Mostly codes with a name; now and then one without.
    const uint8_t choice = in.Byte();
    if (choice < 250) return static_cast<int32_t>(choice % named);
    return choice == 250 ? -1 : named + (choice - 251);
}

OptimizationItemPtr Record(FuzzInput& in) {
    auto item = std::make_shared<OptimizationItem>();
    item->Number = Text(in);
    item->Name = Text(in);
    item->Description = Text(in);
    item->Justification = Text(in);
    item->Category = Text(in);
    item->Impact = Text(in);
    item->mode = Code(in, 3);
    item->Enabled = in.Byte() & 1;
    for (uint32_t n = in.Below(4); n > 0; --n) item->osVersions.push_back(Code(in, codes::kVersionCount));
    for (uint32_t n = in.Below(3); n > 0; --n) {
        RegistryItem reg;
        reg.KeyType = Code(in, 3);
        reg.Key = Text(in);
        reg.ValueName = Text(in);
        reg.Value = Text(in);
        item->regItems.push_back(reg);
    }
    for (uint32_t n = in.Below(3); n > 0; --n) item->cmdItems.push_back(cmdItem{Text(in)});
    for (uint32_t n = in.Below(3); n > 0; --n) {
        wmiItem wmi;
        wmi.Command = Text(in);
        wmi.WarningLevel = static_cast<int16_t>(in.Below(65536) - 32768);
        item->wmiItems.push_back(wmi);
    }
    return item;
}

bool HasNames(const OptimizationItem& item) {
    if (item.mode < 0 || item.mode > 2) return false;
    for (int32_t code : item.osVersions) {
        if (code < 0 || code >= codes::kVersionCount) return false;
    }
    return true;
}

// What the reader must give for a record the writer wrote.
OptimizationItemPtr Expected(const OptimizationItem& written) {
    using cataloguecheck::ThroughFile;
    auto item = std::make_shared<OptimizationItem>(written);
    item->Number = ThroughFile(written.Number);
    item->Name = ThroughFile(written.Name);
    item->Category = ThroughFile(written.Category);
    item->Impact = ThroughFile(written.Impact);
    const std::string description =
        ThroughFile(written.Description + kMarker + written.Justification);
    const size_t at = description.find(kMarker);
    item->Description = description.substr(0, at);
    item->Justification = at == std::string::npos ? std::string()
                                                   : description.substr(at + 14);
    for (RegistryItem& reg : item->regItems) {
        if (reg.KeyType < 0 || reg.KeyType > 2) reg.KeyType = 0;
        reg.Key = ThroughFile(reg.Key);
        reg.ValueName = ThroughFile(reg.ValueName);
        reg.Value = ThroughFile(reg.Value);
    }
    for (cmdItem& cmd : item->cmdItems) cmd.Command = ThroughFile(cmd.Command);
    for (wmiItem& wmi : item->wmiItems) wmi.Command = ThroughFile(wmi.Command);
    return item;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static BytesAsFile files;
    FuzzInput in(data, size);
    OptimizationList records;
    for (uint32_t n = in.Below(4); n > 0; --n) records.push_back(Record(in));

    bool named = true;
    OptimizationList expected;
    for (const OptimizationItemPtr& record : records) {
        named = named && HasNames(*record);
        expected.push_back(Expected(*record));
    }

    const std::string before = "left as it was";
    std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc) << before;
    const bool written = XmlWriter(files, "/nonexistent").WriteXMLFile(records, ScratchFile());
    if (!named) {
        FUZZ_CHECK(!written, "a code without a name was written");
        FUZZ_CHECK(Contents(ScratchFile()) == before, "a refused catalogue touched the file");
        return 0;
    }
    FUZZ_CHECK(written, "the writer failed");
    const OptimizationList read = XmlReader(files, "/nonexistent").ReadXML(ScratchFile());
    std::remove(ScratchFile().c_str());
    const std::string difference = cataloguecheck::FirstDifference(expected, read);
    FUZZ_CHECK(difference.empty(), "written and read back: " + difference);
    return 0;
}
