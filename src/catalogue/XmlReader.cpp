#include "catalogue/XmlReader.h"

#include <limits>
#include <memory>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "platform/XmlDocument.h"

namespace {

constexpr const char* kMarker = "Justification:";

// An element's value: all its text with the white space around it removed.
std::string ValueOf(const XmlElement& element) {
    const std::string text = element.Text();
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

RegistryItem ReadRegistryEntry(const XmlElement& entry) {
    RegistryItem item;
    for (const auto& field : entry.ChildElements()) {
        const std::string name = field->Name();
        if (name == "Key") item.Key = ValueOf(*field);
        else if (name == "ValueName") item.ValueName = ValueOf(*field);
        else if (name == "Value") item.Value = ValueOf(*field);
        else if (name == "KeyType") item.KeyType = RegistryItem::SetKeyType(ValueOf(*field));
    }
    return item;
}

cmdItem ReadCommandEntry(const XmlElement& entry) {
    cmdItem item;
    for (const auto& field : entry.ChildElements()) {
        if (field->Name() == "Command") item.Command = ValueOf(*field);
    }
    return item;
}

wmiItem ReadQueryEntry(const XmlElement& entry) {
    wmiItem item;
    for (const auto& field : entry.ChildElements()) {
        const std::string name = field->Name();
        if (name == "Command") item.Command = ValueOf(*field);
        else if (name == "WarningLevel") {
            item.WarningLevel = catalogue::ParseWarningLevel(ValueOf(*field));
        }
    }
    return item;
}

void ReadDescription(const std::string& value, OptimizationItem& item) {
    const size_t at = value.find(kMarker);
    if (at == std::string::npos) {
        item.Description = value;  // Justification keeps what it had
        return;
    }
    item.Description = value.substr(0, at);
    item.Justification = value.substr(at + std::char_traits<char>::length(kMarker));
}

void ReadVersions(const std::string& value, OptimizationItem& item) {
    if (value.empty()) return;
    size_t start = 0;
    while (true) {
        const size_t blank = value.find(' ', start);
        item.osVersions.push_back(codes::SetOSVersion(value.substr(start, blank - start)));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
}

OptimizationItemPtr ReadItem(const XmlElement& element) {
    auto item = std::make_shared<OptimizationItem>();
    for (const auto& field : element.ChildElements()) {
        const std::string name = field->Name();
        if (name == "Name") item->Name = ValueOf(*field);
        else if (name == "Impact") item->Impact = ValueOf(*field);
        else if (name == "Category") item->Category = ValueOf(*field);
        else if (name == "Number") item->Number = ValueOf(*field);
        else if (name == "Description") ReadDescription(ValueOf(*field), *item);
        else if (name == "OSVersion") ReadVersions(ValueOf(*field), *item);
        else if (name == "Enabled") item->Enabled = codes::UpperAscii(ValueOf(*field)) == "TRUE";
        else if (name == "Mode") item->mode = codes::SetMode(ValueOf(*field));
        else if (name == "RegistryEntries") {
            for (const auto& entry : field->ChildElements()) {
                item->regItems.push_back(ReadRegistryEntry(*entry));
            }
        } else if (name == "CommandLines") {
            for (const auto& entry : field->ChildElements()) {
                item->cmdItems.push_back(ReadCommandEntry(*entry));
            }
        } else if (name == "WMIQueries") {
            for (const auto& entry : field->ChildElements()) {
                item->wmiItems.push_back(ReadQueryEntry(*entry));
            }
        }
    }
    return item;
}

}  // namespace

namespace catalogue {

int16_t ParseWarningLevel(const std::string& value) {
    size_t i = 0;
    const bool negative = !value.empty() && value[0] == '-';
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) i = 1;
    if (i == value.size()) return kUnreadableWarningLevel;
    int32_t level = 0;
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') return kUnreadableWarningLevel;
        level = level * 10 + (value[i] - '0');
        if (level > std::numeric_limits<int16_t>::max() + 1) return kUnreadableWarningLevel;
    }
    if (negative) level = -level;
    if (level > std::numeric_limits<int16_t>::max()) return kUnreadableWarningLevel;
    return static_cast<int16_t>(level);
}

}  // namespace catalogue

OptimizationList XmlReader::ReadXML(const std::string& HardPath) {
    // Callers go on with whatever they get, so no failure leaves this function.
    try {
        const std::string path =
            HardPath.empty() ? catalogue::DefaultPath(executableFolder_) : HardPath;
        std::optional<std::string> bytes = xml_.ReadFileBytes(path);
        if (!bytes || !catalogue::IsAcceptableFile(*bytes)) return {};
        std::unique_ptr<XmlDocument> document = xml_.NewDocument();
        if (!document->Parse(*bytes)) return {};
        // The document holds what it parsed: a large catalogue need not stay in memory twice
        // while its records are made.
        bytes.reset();
        std::unique_ptr<XmlElement> root = document->Root();
        if (!root || root->Name() != "Optimizations") return {};

        OptimizationList catalogue;
        for (const auto& element : root->ChildElements()) catalogue.push_back(ReadItem(*element));
        return catalogue;
    } catch (...) {
        return {};
    }
}
