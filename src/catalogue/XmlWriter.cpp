#include "catalogue/XmlWriter.h"

#include <memory>
#include <stdexcept>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "platform/XmlDocument.h"

namespace {

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
        NewLine(name)->AppendText(text);
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

std::string VersionsText(const std::vector<int32_t>& osVersions) {
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
    std::unique_ptr<XmlDocument> document = xml_.NewDocument();
    try {
        Block root(document->Create("Optimizations", catalogue::kStylesheetData), 0);
        for (const OptimizationItemPtr& record : opItems) {
            if (!record) return false;
            WriteItem(root, *record);
        }
    } catch (const std::out_of_range&) {
        return false;  // a code without a name: keep the file as it is
    }
    return document->Save(path);
}
