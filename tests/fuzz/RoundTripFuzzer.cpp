// Records made from the fuzzer's bytes, written and read back. What comes back equals what was
// written except for what the file format itself changes: the white space around each value,
// a "Justification:" inside a description (the reader splits at the first one), a carriage
// return (a line end in XML), characters that XML 1.0 cannot carry (left out), malformed UTF-8
// (U+FFFD), and key-type codes without a name (read back as DWORD). A record with a version or
// mode code without a name is refused, and then the file stays as it was.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "CatalogueCheck.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

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
    for (std::string* text : {&item->Number, &item->Name, &item->Description,
                              &item->Justification, &item->Category, &item->Impact}) {
        *text = Text(in);
    }
    item->mode = Code(in, 3);
    item->Enabled = in.Byte() & 1;
    for (uint32_t n = in.Below(4); n > 0; --n) {
        item->osVersions.push_back(Code(in, codes::kVersionCount));
    }
    for (uint32_t n = in.Below(3); n > 0; --n) {
        RegistryItem& reg = item->regItems.emplace_back();
        reg.KeyType = Code(in, 3);
        for (std::string* text : {&reg.Key, &reg.ValueName, &reg.Value}) *text = Text(in);
    }
    for (uint32_t n = in.Below(3); n > 0; --n) item->cmdItems.emplace_back(Text(in));
    for (uint32_t n = in.Below(3); n > 0; --n) {
        std::string command = Text(in);
        item->wmiItems.emplace_back(command, static_cast<int16_t>(in.Below(65536) - 32768));
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
    for (std::string* text : {&item->Number, &item->Name, &item->Category, &item->Impact}) {
        *text = ThroughFile(*text);
    }
    const std::string description =
        ThroughFile(written.Description + kMarker + written.Justification);
    const size_t at = description.find(kMarker);
    item->Description = description.substr(0, at);
    item->Justification =
        at == std::string::npos ? std::string() : description.substr(at + 14);
    for (RegistryItem& reg : item->regItems) {
        if (reg.KeyType < 0 || reg.KeyType > 2) reg.KeyType = 0;
        for (std::string* text : {&reg.Key, &reg.ValueName, &reg.Value}) {
            *text = ThroughFile(*text);
        }
    }
    for (cmdItem& cmd : item->cmdItems) cmd.Command = ThroughFile(cmd.Command);
    for (wmiItem& wmi : item->wmiItems) wmi.Command = ThroughFile(wmi.Command);
    return item;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cataloguecheck;
    static const std::unique_ptr<XmlDocumentFactory> xml = NewXmlDocumentFactory();
    FuzzInput in(data, size);
    OptimizationList records;
    bool named = true;
    for (uint32_t n = in.Below(4); n > 0; --n) {
        records.push_back(Record(in));
        named = named && HasNames(*records.back());
    }

    const std::string before = "left as it was";
    std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc) << before;
    XmlWriter writer(*xml, "/nonexistent");
    const bool written = writer.WriteXMLFile(records, ScratchFile());
    if (!named) {
        FUZZ_CHECK(!written, "a code without a name was written");
        FUZZ_CHECK(Contents(ScratchFile()) == before, "a refused catalogue touched the file");
        return 0;
    }
    FUZZ_CHECK(written, "the writer failed");
    OptimizationList expected;
    for (const OptimizationItemPtr& record : records) expected.push_back(Expected(*record));
    const OptimizationList read = XmlReader(*xml, "/nonexistent").ReadXML(ScratchFile());
    std::remove(ScratchFile().c_str());
    const std::string difference = FirstDifference(Dump(expected), Dump(read));
    FUZZ_CHECK(difference.empty(), "written and read back: " + difference);
    return 0;
}
