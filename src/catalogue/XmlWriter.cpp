#include "catalogue/XmlWriter.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "platform/Utf8.h"
#include "platform/XmlDocument.h"

namespace {

// The text as an XML file can hold it. A character that XML 1.0 does not allow (NUL and the
// other control characters but tab and line ends, U+FFFE, U+FFFF) is left out, and each byte
// that is no part of well-formed UTF-8 becomes U+FFFD: written as they are, either would make
// the reader refuse the whole file, and a NUL would cut the text short in the document object.
std::string XmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 >= 0x20 && b0 < 0x80) {
            // Printable ASCII, the bulk of any catalogue: over in one piece.
            size_t end = i + 1;
            while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x20 &&
                   static_cast<unsigned char>(text[end]) < 0x80) {
                ++end;
            }
            out.append(text, i, end - i);
            i = end;
            continue;
        }
        size_t length = 0;
        uint32_t code = 0;
        if (b0 < 0x80)
            length = 1, code = b0;
        else if (b0 >= 0xC2 && b0 <= 0xDF)
            length = 2, code = b0 & 0x1Fu;
        else if (b0 >= 0xE0 && b0 <= 0xEF)
            length = 3, code = b0 & 0x0Fu;
        else if (b0 >= 0xF0 && b0 <= 0xF4)
            length = 4, code = b0 & 0x07u;
        bool wellFormed = length > 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            wellFormed = (b & 0xC0) == 0x80;
            code = (code << 6) | (b & 0x3Fu);
        }
        wellFormed = wellFormed && !(length == 3 && code < 0x800) &&
                     !(length == 4 && code < 0x10000) && !(code >= 0xD800 && code <= 0xDFFF) &&
                     code <= 0x10FFFF;
        if (!wellFormed) {
            utf8::Append(out, 0xFFFD);
            ++i;
            continue;
        }
        if (utf8::IsXmlChar(code)) out.append(text, i, length);
        i += length;
    }
    return out;
}

// An element holding other elements, laid out one per line at its depth.
class Block {
public:
    Block(std::unique_ptr<XmlElement> element, int depth)
        : element_(std::move(element)), depth_(depth) {}

    // Closes the block: the end tag goes on its own line.
    ~Block() { element_->AppendText(LineStart(depth_)); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    Block Open(const std::string& name) { return Block(NewLine(name), depth_ + 1); }

    void Value(const std::string& name, const std::string& text) {
        NewLine(name)->AppendText(XmlText(text));
    }

private:
    // A line end and the indentation of the given depth, two blanks per level.
    static std::string LineStart(int depth) {
        std::string text(1, '\n');
        text.append(static_cast<size_t>(depth) * 2, ' ');
        return text;
    }

    std::unique_ptr<XmlElement> NewLine(const std::string& name) {
        element_->AppendText(LineStart(depth_ + 1));
        return element_->AppendElement(name);
    }

    std::unique_ptr<XmlElement> element_;
    int depth_;
};

std::string VersionsText(const VersionList& osVersions) {
    std::string text;
    for (int32_t code : osVersions) {
        for (char c : codes::GetOSString(code)) {
            if (c != ' ') text += c;
        }
        text += ' ';
    }
    return text;
}

void WriteItem(Block& root, const OptimizationItem& record) {
    Block item = root.Open("Item");
    item.Value("Number", record.Number);
    item.Value("Name", record.Name);
    item.Value("Description", record.Description + "Justification:" + record.Justification);
    item.Value("OSVersion", VersionsText(record.osVersions));
    item.Value("Enabled", record.Enabled ? "True" : "False");
    item.Value("Mode", codes::GetMode(record.mode));
    item.Value("Impact", record.Impact);
    item.Value("Category", record.Category);
    if (!record.regItems.empty()) {
        Block list = item.Open("RegistryEntries");
        for (const RegistryItem& reg : record.regItems) {
            Block entry = list.Open("RegistryEntry");
            entry.Value("Key", reg.Key);
            entry.Value("ValueName", reg.ValueName);
            entry.Value("KeyType", RegistryItem::GetKeyType(reg.KeyType));
            entry.Value("Value", reg.Value);
        }
    }
    if (!record.serviceItems.empty()) {
        Block list = item.Open("Services");
        for (const ServiceItem& service : record.serviceItems) {
            Block entry = list.Open("Service");
            entry.Value("Name", service.Name);
            entry.Value("StartType", service.StartType);
            // Only when asked, so that a catalogue without it is written back as it was read.
            if (service.Stop) entry.Value("Stop", "True");
        }
    }
    if (!record.taskItems.empty()) {
        Block list = item.Open("ScheduledTasks");
        for (const TaskItem& task : record.taskItems) {
            Block entry = list.Open("ScheduledTask");
            entry.Value("Path", task.Path);
            entry.Value("State", task.State);
        }
    }
    if (!record.cmdItems.empty()) {
        Block list = item.Open("CommandLines");
        for (const cmdItem& cmd : record.cmdItems) {
            list.Open("CommandLine").Value("Command", cmd.Command);
        }
    }
    if (!record.wmiItems.empty()) {
        Block list = item.Open("WMIQueries");
        for (const wmiItem& wmi : record.wmiItems) {
            Block entry = list.Open("WMIQuery");
            entry.Value("Command", wmi.Command);
            entry.Value("WarningLevel", std::to_string(wmi.WarningLevel));
        }
    }
}

}  // namespace

bool XmlWriter::WriteXMLFile(const OptimizationList& opItems) {
    return WriteXMLFile(opItems, catalogue::DefaultPath(executableFolder_));
}

bool XmlWriter::WriteXMLFile(const OptimizationList& opItems, const std::string& path) {
    // A record that cannot be written whole (none, or a code without a name) keeps the file as
    // it is.
    const auto writable = [](const OptimizationItemPtr& record) {
        return record && codes::KnownMode(record->mode) &&
               std::all_of(record->osVersions.begin(), record->osVersions.end(),
                           codes::KnownVersion);
    };
    if (!std::all_of(opItems.begin(), opItems.end(), writable)) return false;
    std::unique_ptr<XmlDocument> document = xml_.NewDocument();
    {
        // Closed before the save: a block writes its closing line break as it goes.
        Block root(document->Create("Optimizations", catalogue::kStylesheetData), 0);
        for (const OptimizationItemPtr& record : opItems) WriteItem(root, *record);
    }
    return document->Save(path);
}
