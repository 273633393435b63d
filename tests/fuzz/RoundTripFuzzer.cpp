// Records made from the fuzzer's bytes, written and read back. A record with a version or mode
// code without a name is refused, and then the file stays as it was. Otherwise every count and
// code comes back (a key type without a name as DWORD), every text comes back as text a file can
// hold, a text the file can hold as it is (no carriage return, nothing to trim, no marker to
// split at) comes back unchanged, and writing and reading what was read changes nothing more.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

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

// Every text of a record, in one order.
std::vector<std::string*> Texts(OptimizationItem& item) {
    std::vector<std::string*> texts{&item.Number,        &item.Name,     &item.Description,
                                    &item.Justification, &item.Category, &item.Impact};
    for (RegistryItem& reg : item.regItems) {
        texts.insert(texts.end(), {&reg.Key, &reg.ValueName, &reg.Value});
    }
    for (cmdItem& cmd : item.cmdItems) texts.push_back(&cmd.Command);
    for (wmiItem& wmi : item.wmiItems) texts.push_back(&wmi.Command);
    return texts;
}

// The codes and counts of a record: its dump without texts, a key type without a name as DWORD.
std::string Codes(const OptimizationItem& item) {
    auto codes = std::make_shared<OptimizationItem>(item);
    for (std::string* text : Texts(*codes)) text->clear();
    for (RegistryItem& reg : codes->regItems) {
        if (reg.KeyType < 0 || reg.KeyType > 2) reg.KeyType = 0;
    }
    return cataloguecheck::Dump({codes});
}

// Whether the file holds a text exactly; the reader trims white space from the sides it names.
bool Kept(const std::string& text, bool trimsLeft, bool trimsRight) {
    const std::string space = " \t\n";
    return cataloguecheck::Carriable(text) && text.find('\r') == std::string::npos &&
           !(trimsLeft && !text.empty() && space.find(text.front()) != std::string::npos) &&
           !(trimsRight && !text.empty() && space.find(text.back()) != std::string::npos);
}

// The first broken promise between a record written and the record read back, or empty.
std::string Compare(OptimizationItem& written, OptimizationItem& read) {
    if (Codes(written) != Codes(read)) {
        return std::string("codes ").append(Codes(written)).append(" became ").append(Codes(read));
    }
    // The reader splits at the writer's marker, unless the description holds one or makes one
    // once the characters a file cannot hold are left out.
    const bool split = cataloguecheck::Carriable(written.Description) &&
                       written.Description.find(kMarker) == std::string::npos;
    const auto w = Texts(written), r = Texts(read);
    for (size_t i = 0; i < w.size(); ++i) {
        if (!cataloguecheck::Carriable(*r[i])) return "not XML text: " + fuzzcheck::Shown(*r[i]);
        if ((i == 2 || i == 3) && !split) continue;
        if (Kept(*w[i], i != 3, i != 2) && *w[i] != *r[i]) {
            return "wrote " + fuzzcheck::Shown(*w[i]) + ", read " + fuzzcheck::Shown(*r[i]);
        }
    }
    return std::string();
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
    XmlReader reader(*xml, "/nonexistent");
    const OptimizationList read = reader.ReadXML(ScratchFile());
    FUZZ_CHECK(read.size() == records.size(), "items lost or gained");
    for (size_t i = 0; i < read.size(); ++i) {
        const std::string difference = Compare(*records[i], *read[i]);
        FUZZ_CHECK(difference.empty(), "item " + std::to_string(i + 1) + ": " + difference);
    }
    FUZZ_CHECK(writer.WriteXMLFile(read, ScratchFile()), "the writer refused what was read");
    const std::string again = FirstDifference(Dump(read), Dump(reader.ReadXML(ScratchFile())));
    std::remove(ScratchFile().c_str());
    FUZZ_CHECK(again.empty(), "written and read once more: " + again);
    return 0;
}
