#include "catalogue/XmlReader.h"

#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "catalogue/CatalogueFile.h"
#include "catalogue/Codes.h"
#include "platform/XmlDocument.h"

namespace {

constexpr const char* kMarker = "Justification:";

// A value: all the text of its element with the white space around it removed.
std::string Trimmed(const std::string& text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::optional<int16_t> ParseWarningLevel(const std::string& value) {
    size_t i = 0;
    const bool negative = !value.empty() && value[0] == '-';
    if (!value.empty() && (value[0] == '-' || value[0] == '+')) i = 1;
    if (i == value.size()) return std::nullopt;
    int32_t level = 0;
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') return std::nullopt;
        level = level * 10 + (value[i] - '0');
        if (level > std::numeric_limits<int16_t>::max() + 1) return std::nullopt;
    }
    if (negative) level = -level;
    if (level > std::numeric_limits<int16_t>::max()) return std::nullopt;
    return static_cast<int16_t>(level);
}

// The element names of the value fields at levels 3 and 5.
enum class Field {
    Name,
    Impact,
    Category,
    Number,
    Description,
    OSVersion,
    Enabled,
    Mode,  // of an item
    Key,
    ValueName,
    Value,
    KeyType,  // of a registry entry
    Command,
    WarningLevel,  // of a command line or WMI query
    ServiceName,
    StartType,
    ServiceStop,  // of a service
    TaskPath,
    TaskState,  // of a scheduled task
};
enum class List { None, Registry, Services, Tasks, Commands, Queries };

constexpr unsigned Bit(Field field) { return 1u << static_cast<unsigned>(field); }

std::optional<Field> ItemField(std::string_view name) {
    if (name == "Name") return Field::Name;
    if (name == "Impact") return Field::Impact;
    if (name == "Category") return Field::Category;
    if (name == "Number") return Field::Number;
    if (name == "Description") return Field::Description;
    if (name == "OSVersion") return Field::OSVersion;
    if (name == "Enabled") return Field::Enabled;
    if (name == "Mode") return Field::Mode;
    return std::nullopt;
}

std::optional<Field> EntryField(List list, std::string_view name) {
    if (list == List::Registry) {
        if (name == "Key") return Field::Key;
        if (name == "ValueName") return Field::ValueName;
        if (name == "Value") return Field::Value;
        if (name == "KeyType") return Field::KeyType;
        return std::nullopt;
    }
    if (list == List::Services) {
        if (name == "Name") return Field::ServiceName;
        if (name == "StartType") return Field::StartType;
        if (name == "Stop") return Field::ServiceStop;
        return std::nullopt;
    }
    if (list == List::Tasks) {
        if (name == "Path") return Field::TaskPath;
        if (name == "State") return Field::TaskState;
        return std::nullopt;
    }
    if (name == "Command") return Field::Command;
    if (list == List::Queries && name == "WarningLevel") return Field::WarningLevel;
    return std::nullopt;
}

// The name the writer gives an entry of the list.
const char* EntryName(List list) {
    switch (list) {
        case List::Registry: return "RegistryEntry";
        case List::Services: return "Service";
        case List::Tasks: return "ScheduledTask";
        case List::Commands: return "CommandLine";
        default: return "WMIQuery";
    }
}

List ListOf(std::string_view name) {
    if (name == "RegistryEntries") return List::Registry;
    if (name == "Services") return List::Services;
    if (name == "ScheduledTasks") return List::Tasks;
    if (name == "CommandLines") return List::Commands;
    if (name == "WMIQueries") return List::Queries;
    return List::None;
}

// Builds the catalogue while the parser reads: it holds only the record being filled and the
// text of the one value being gathered. Levels: 1 the root, 2 items, 3 an item's fields and
// lists, 4 a list's entries, 5 an entry's fields.
class CatalogueBuilder : public XmlEvents {
public:
    CatalogueBuilder(ReadObserver* observer, const std::string& bytes)
        : observer_(observer), bytes_(bytes) {}

    // The catalogue, or empty when the file did not make one.
    OptimizationList Take() {
        if (failed_ || !rootSeen_) return {};
        return std::move(catalogue_);
    }

    void StartElement(std::string_view name, XmlPosition at) override {
        const int level = ++depth_;
        if (observer_) open_.emplace_back(name, at);
        if (skipFrom_ != 0 || field_) return;  // inside what is skipped or gathered
        switch (level) {
            case 1:
                rootSeen_ = true;
                if (name != "Optimizations") {
                    failed_ = true;
                    skipFrom_ = depth_;
                    Tell(ReadNotice::Kind::WrongRoot, at, name, {});
                }
                break;
            case 2:
                // Grown by half, not doubled: a catalogue of thousands then carries at most a
                // third of its list unused.
                if (catalogue_.size() == catalogue_.capacity()) {
                    catalogue_.reserve(catalogue_.size() + catalogue_.size() / 2 + 1);
                }
                catalogue_.push_back(std::make_shared<OptimizationItem>());
                catalogue_.back()->Position = at;
                if (name != "Item") Tell(ReadNotice::Kind::UnusualName, at, name, "Item");
                break;
            case 3:
                if ((field_ = ItemField(name))) {
                    Gather(name, at);
                } else if ((list_ = ListOf(name)) == List::None) {
                    Skip(name, at);
                }
                break;
            case 4: {
                OptimizationItem& item = *catalogue_.back();
                if (list_ == List::Registry) item.regItems.emplace_back().Position = at;
                if (list_ == List::Services) item.serviceItems.emplace_back().Position = at;
                if (list_ == List::Tasks) item.taskItems.emplace_back().Position = at;
                if (list_ == List::Commands) item.cmdItems.emplace_back().Position = at;
                if (list_ == List::Queries) item.wmiItems.emplace_back().Position = at;
                if (name != EntryName(list_)) {
                    Tell(ReadNotice::Kind::UnusualName, at, name, EntryName(list_));
                }
                registryFields_ = 0;
                break;
            }
            default:  // 5: levels below are gathered or skipped with it
                if ((field_ = EntryField(list_, name))) {
                    Gather(name, at);
                } else {
                    Skip(name, at);
                }
                break;
        }
    }

    // Only a field's text counts: the white space between elements is not even converted.
    bool WantsText() override { return field_ && skipFrom_ == 0; }
    bool WantsAttributes() override { return false; }  // the catalogue has none

    void Text(std::string_view text) override {
        if (WantsText()) text_.append(text);
    }

    void EndElement() override {
        const int level = depth_--;
        if (observer_) open_.pop_back();
        if (level == skipFrom_) skipFrom_ = 0;
        if (field_ && level == fieldLevel_) {
            registryFields_ |= Bit(*field_);
            Apply(*field_, Trimmed(text_));
            field_.reset();
            text_.clear();
        }
        if (level == 4 && list_ == List::Registry) TellMissingFields();
        if (level == 3) list_ = List::None;
    }

    void Error(std::string_view reason, XmlPosition at) override {
        failed_ = true;
        if (!observer_) return;
        // What the file holds, where that can be told, rather than the parser's inner words.
        if (const std::optional<size_t> amp = catalogue::BareAmpersand(bytes_)) {
            XmlPosition ampAt = XmlPositionCounter(bytes_).At(*amp);
            if (std::pair(ampAt.line, ampAt.column) <= std::pair(at.line, at.column)) {
                return Tell(ReadNotice::Kind::ParseError, ampAt, {},
                            "a bare & (write &amp; for an ampersand in text)");
            }
        }
        if (XmlPositionCounter(bytes_).UnitSize() == 1 && CutShort(at)) {
            return Tell(ReadNotice::Kind::ParseError, at, {},
                        "the file ends before <" + Unclosed() + "> is closed: it is cut short");
        }
        Tell(ReadNotice::Kind::ParseError, at, {}, std::string(reason));
    }

private:
    // Where the file ends inside a tag, the start of that tag.
    std::optional<size_t> CutTag() const {
        const size_t open = bytes_.rfind('<');
        if (open == std::string::npos || bytes_.find('>', open) != std::string::npos) return {};
        return open;
    }

    // The file does not end with the root's end tag, and ends inside a tag or where the parser
    // stopped.
    bool CutShort(XmlPosition at) const {
        constexpr std::string_view kEnd = "</Optimizations>";
        const size_t last = bytes_.find_last_not_of(" \t\r\n");
        if (last == std::string::npos) return false;
        if (last + 1 >= kEnd.size() &&
            bytes_.compare(last + 1 - kEnd.size(), kEnd.size(), kEnd) == 0) {
            return false;
        }
        if (CutTag()) return true;
        // MSXML stops at the last character, expat after it.
        const XmlPosition end = XmlPositionCounter(bytes_).At(last);
        return at.line > end.line || (at.line == end.line && at.column >= end.column);
    }

    // The innermost element still open; a start tag cut short is none, though some parsers
    // report one.
    std::string Unclosed() const {
        const std::optional<size_t> cut = CutTag();
        const XmlPosition cutAt = cut ? XmlPositionCounter(bytes_).At(*cut) : XmlPosition{};
        for (auto open = open_.rbegin(); open != open_.rend(); ++open) {
            if (!cut || open->second != cutAt) return open->first;
        }
        return "Optimizations";
    }

    // A field's position, kept beside the position of the record it belongs to (the last one).
    template <typename Record>
    static void Keep(std::vector<Record>& records, FieldPosition Record::*field, XmlPosition at) {
        Record& record = records.back();
        record.*field = FieldPosition(at, record.Position);
    }

    void Gather(std::string_view name, XmlPosition at) {
        fieldLevel_ = depth_;
        if (observer_) {
            fieldName_ = name;
            fieldAt_ = at;
        }
        OptimizationItem& item = *catalogue_.back();
        switch (*field_) {
            case Field::Number: item.NumberPosition = {at, item.Position}; break;
            case Field::Key: Keep(item.regItems, &RegistryItem::KeyPosition, at); break;
            case Field::Value: Keep(item.regItems, &RegistryItem::ValuePosition, at); break;
            case Field::Command:
                if (list_ == List::Commands)
                    Keep(item.cmdItems, &cmdItem::CommandPosition, at);
                else
                    Keep(item.wmiItems, &wmiItem::CommandPosition, at);
                break;
            case Field::WarningLevel:
                Keep(item.wmiItems, &wmiItem::WarningLevelPosition, at);
                break;
            case Field::ServiceName: Keep(item.serviceItems, &ServiceItem::NamePosition, at); break;
            case Field::StartType:
                Keep(item.serviceItems, &ServiceItem::StartTypePosition, at);
                break;
            case Field::ServiceStop: Keep(item.serviceItems, &ServiceItem::StopPosition, at); break;
            case Field::TaskPath: Keep(item.taskItems, &TaskItem::PathPosition, at); break;
            case Field::TaskState: Keep(item.taskItems, &TaskItem::StatePosition, at); break;
            default: break;
        }
    }

    void Skip(std::string_view name, XmlPosition at) {
        skipFrom_ = depth_;
        Tell(ReadNotice::Kind::UnknownElement, at, name, {});
    }

    // A registry entry without Key, ValueName or Value reads them as empty: for Value and
    // ValueName that still writes, so only an element written empty says it is meant.
    void TellMissingFields() {
        const XmlPosition at = catalogue_.back()->regItems.back().Position;
        for (const Field field : {Field::Key, Field::ValueName, Field::Value}) {
            if ((registryFields_ & Bit(field)) != 0) continue;
            const char* name = field == Field::Key         ? "Key"
                               : field == Field::ValueName ? "ValueName"
                                                           : "Value";
            Tell(ReadNotice::Kind::MissingElement, at, name, {});
        }
    }

    void Tell(ReadNotice::Kind kind, XmlPosition at, std::string_view element, std::string text) {
        if (observer_) observer_->Notice({kind, at, std::string(element), std::move(text)});
    }

    // For the observer: a name that the conversion did not know, so it became code 0.
    void CheckName(int32_t code, const std::string& value, const char* codeZeroName) {
        if (observer_ && code == 0 && codes::UpperAscii(value) != codeZeroName) {
            Tell(ReadNotice::Kind::UnknownName, fieldAt_, fieldName_, value);
        }
    }

    // True or False in any letter case; anything else reads as false and is told.
    bool Flag(const std::string& value, ReadNotice::Kind unclear) {
        const std::string upper = codes::UpperAscii(value);
        if (observer_ && upper != "TRUE" && upper != "FALSE") {
            Tell(unclear, fieldAt_, fieldName_, value);
        }
        return upper == "TRUE";
    }

    static void ApplyDescription(OptimizationItem& item, std::string value) {
        if (const size_t at = value.find(kMarker); at != std::string::npos) {
            item.Justification = value.substr(at + std::char_traits<char>::length(kMarker));
            item.Description = value.substr(0, at);  // held at its own size
        } else {
            item.Description = std::move(value);  // Justification keeps what it had
        }
    }

    void ApplyVersions(OptimizationItem& item, const std::string& value) {
        // Names split at every blank: two blanks make an empty name between them.
        for (size_t start = 0; !value.empty();) {
            const size_t blank = value.find(' ', start);
            const std::string name = value.substr(start, blank - start);
            item.osVersions.push_back(codes::SetOSVersion(name));
            CheckName(item.osVersions.back(), name, "WINDOWS2000");
            if (blank == std::string::npos) break;
            start = blank + 1;
        }
    }

    void Apply(Field field, std::string value) {
        OptimizationItem& item = *catalogue_.back();
        switch (field) {
            case Field::Name: item.Name = std::move(value); break;
            case Field::Impact: item.Impact = std::move(value); break;
            case Field::Category: item.Category = std::move(value); break;
            case Field::Number: item.Number = std::move(value); break;
            case Field::Description: ApplyDescription(item, std::move(value)); break;
            case Field::OSVersion: ApplyVersions(item, value); break;
            case Field::Enabled:
                item.Enabled = Flag(value, ReadNotice::Kind::UnclearEnabled);
                break;
            case Field::Mode:
                item.mode = codes::SetMode(value);
                CheckName(item.mode, value, "HIDEF");
                break;
            case Field::Key: item.regItems.back().Key = std::move(value); break;
            case Field::ValueName: item.regItems.back().ValueName = std::move(value); break;
            case Field::Value: item.regItems.back().Value = std::move(value); break;
            case Field::KeyType:
                item.regItems.back().KeyType = RegistryItem::SetKeyType(value);
                CheckName(item.regItems.back().KeyType, value, "DWORD");
                break;
            case Field::Command:
                if (list_ == List::Commands)
                    item.cmdItems.back().Command = std::move(value);
                else
                    item.wmiItems.back().Command = std::move(value);
                break;
            case Field::WarningLevel: {
                const std::optional<int16_t> level = ParseWarningLevel(value);
                item.wmiItems.back().WarningLevel =
                    level.value_or(catalogue::kUnreadableWarningLevel);
                if (!level) {
                    Tell(ReadNotice::Kind::UnreadableWarningLevel, fieldAt_, fieldName_, value);
                }
                break;
            }
            // Kept as spelt: validate judges the names, the runners read them.
            case Field::ServiceName: item.serviceItems.back().Name = std::move(value); break;
            case Field::StartType: item.serviceItems.back().StartType = std::move(value); break;
            case Field::ServiceStop:
                item.serviceItems.back().Stop = Flag(value, ReadNotice::Kind::UnclearStop);
                break;
            case Field::TaskPath: item.taskItems.back().Path = std::move(value); break;
            case Field::TaskState: item.taskItems.back().State = std::move(value); break;
        }
    }

    ReadObserver* observer_;
    const std::string& bytes_;
    std::vector<std::pair<std::string, XmlPosition>> open_;  // for the observer only
    OptimizationList catalogue_;
    int depth_ = 0;
    bool rootSeen_ = false;
    bool failed_ = false;
    int skipFrom_ = 0;  // level of the element skipped with its content; 0 when none
    List list_ = List::None;
    std::optional<Field> field_;   // the value being gathered, at fieldLevel_
    unsigned registryFields_ = 0;  // Bit of each field the registry entry being read has had
    int fieldLevel_ = 0;
    std::string text_;
    std::string fieldName_;  // for the observer only
    XmlPosition fieldAt_;
};

}  // namespace

void XmlReader::Unreadable(const std::string& why) {
    try {
        if (observer_) observer_->Notice({ReadNotice::Kind::Unreadable, {}, {}, why});
    } catch (...) {
    }
}

// Callers go on with whatever they get, so no failure leaves these functions; the observer hears
// of any, so that a file never read is not taken for an empty catalogue.
OptimizationList XmlReader::ReadXML(const std::string& HardPath) {
    std::optional<std::string> bytes;
    std::string why;
    try {
        bytes = xml_.ReadFileBytes(
            HardPath.empty() ? catalogue::DefaultPath(executableFolder_) : HardPath, why);
    } catch (const std::exception& failure) {
        Unreadable(std::string("cannot be read (") + failure.what() + ")");
        return {};
    } catch (...) {
        Unreadable("cannot be read");
        return {};
    }
    return ReadXMLBytes(bytes, why);
}

OptimizationList XmlReader::ReadXMLBytes(const std::optional<std::string>& bytes,
                                         const std::string& why) {
    try {
        if (!bytes) {
            Unreadable(why.empty() ? "cannot be read" : why);
            return {};
        }
        std::string converted;
        catalogue::FileCheck check = catalogue::ToUtf8(*bytes, converted);
        const std::string& text = converted.empty() ? *bytes : converted;
        if (check.acceptable) check = catalogue::CheckFile(text);
        if (!check.acceptable) {
            if (observer_) {
                observer_->Notice({ReadNotice::Kind::RefusedFile,
                                   XmlPositionCounter(text).At(check.offset),
                                   {},
                                   check.reason});
            }
            return {};
        }
        CatalogueBuilder builder(observer_, text);
        if (!xml_.ReadEvents(text, builder)) return {};
        return builder.Take();
    } catch (const std::exception& failure) {
        Unreadable(std::string("cannot be read (") + failure.what() + ")");
    } catch (...) {
        Unreadable("cannot be read");
    }
    return {};
}
