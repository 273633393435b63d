// Records made from the fuzzer's bytes, texts included that the reader never gives (malformed
// UTF-8, characters XML cannot carry), written and read back. What becomes of each text is the
// reader fuzzer's fixed point.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "CatalogueCheck.h"
#include "FuzzCheck.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

namespace {

using namespace std::string_literals;

// The fuzzer's bytes as small decisions; once they run out, zeros.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A number in [0, limit), from as many bytes as the limit needs.
    uint32_t Below(uint32_t limit) {
        if (limit <= 1) return 0;
        uint32_t value = 0;
        for (uint32_t range = 1; range < limit && range != 0; range <<= 8) {
            value = (value << 8) | Byte();
        }
        return value % limit;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Pieces that make the texts: letters and white space, what the format escapes, the marker,
// characters beyond ASCII, characters XML cannot carry, malformed UTF-8.
// clang-format off
const std::string kPieces[] = {
    "a", "Z", "7", " ", "\t", "\n", "\r", "\r\n",
    "<", ">", "&", "'", "\"", "]]>", "&amp;", "<!--", "<?x?>", "<![CDATA[",
    "Justification:", "justification:",
    "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
    "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xBF\xBD", "\0"s, "\x01", "\x1F", "\x7F",
    "\x80", "\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"};
// clang-format on  // malformed UTF-8

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
    for (std::string* text : {&item->Number, &item->Name, &item->Description, &item->Justification,
                              &item->Category, &item->Impact}) {
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
    // Last, so that seeds made before these lists still decode to the same records.
    for (uint32_t n = in.Below(3); n > 0; --n) {
        std::string name = Text(in);
        item->serviceItems.emplace_back(name, Text(in));
    }
    for (uint32_t n = in.Below(3); n > 0; --n) {
        std::string path = Text(in);
        item->taskItems.emplace_back(path, Text(in));
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

// The record without its texts, key-type codes without a name as the DWORD they read back as.
OptimizationItemPtr Shape(const OptimizationItem& record) {
    auto item = std::make_shared<OptimizationItem>(record);
    for (std::string* text : {&item->Number, &item->Name, &item->Description, &item->Justification,
                              &item->Category, &item->Impact}) {
        text->clear();
    }
    for (RegistryItem& reg : item->regItems) {
        if (reg.KeyType < 0 || reg.KeyType > 2) reg.KeyType = 0;
        reg.Key = reg.ValueName = reg.Value = "";
    }
    for (ServiceItem& service : item->serviceItems) service.Name = service.StartType = "";
    for (TaskItem& task : item->taskItems) task.Path = task.State = "";
    for (cmdItem& cmd : item->cmdItems) cmd.Command.clear();
    for (wmiItem& wmi : item->wmiItems) wmi.Command.clear();
    return item;
}

OptimizationList Shapes(const OptimizationList& records) {
    OptimizationList shapes;
    for (const OptimizationItemPtr& record : records) shapes.push_back(Shape(*record));
    return shapes;
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
    const std::string changed = FirstDifference(Dump(Shapes(records)), Dump(Shapes(read)));
    FUZZ_CHECK(changed.empty(), "records, lists or codes changed: " + changed);
    FUZZ_CHECK(writer.WriteXMLFile(read, ScratchFile()), "the writer refused what it wrote");
    const std::string again = FirstDifference(Dump(read), Dump(reader.ReadXML(ScratchFile())));
    std::remove(ScratchFile().c_str());
    FUZZ_CHECK(again.empty(), "written and read back once more: " + again);
    return 0;
}
