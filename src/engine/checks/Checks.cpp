#include "engine/checks/Checks.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "catalogue/Codes.h"
#include "catalogue/Values.h"

namespace engine {
namespace {

using codes::kKeyTypeBinary;
using codes::kKeyTypeDword;
constexpr const char* kStopsRegistry = ": the run stops this entry's registry values here";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

const std::string kServicesKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";
// CreateService's limit of a service name, in UTF-16 units as Windows counts them.
constexpr size_t kMaxServiceName = 256;

size_t Utf16Length(const std::string& utf8) {
    size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

// What an item or entry element is read as, by the name the writer gives it.
std::string Meaning(const std::string& writersName) {
    if (writersName == "Item") return "an item";
    if (writersName == "RegistryEntry") return "a registry entry";
    if (writersName == "CommandLine") return "a command line";
    if (writersName == "Service") return "a service";
    if (writersName == "ScheduledTask") return "a scheduled task";
    return "a WMI query";
}

// Where the element at fault starts: the field's own, else its record's.
XmlPosition Or(FieldPosition field, XmlPosition record) { return field.Or(record); }

bool IsSelect(const std::string& query) {
    const size_t first = query.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    const std::string word = codes::UpperAscii(query.substr(first, 7));
    return word.size() == 7 && word.compare(0, 6, "SELECT") == 0 &&
           (word[6] == ' ' || word[6] == '\t' || word[6] == '\r' || word[6] == '\n');
}

}  // namespace

void CatalogueCheck::Add(Problem::Severity severity, std::string code, XmlPosition at,
                         std::string message) {
    problems_.push_back({severity, std::move(code), at.line, at.column, std::move(message)});
}

void CatalogueCheck::Notice(const ReadNotice& notice) {
    using Kind = ReadNotice::Kind;
    using enum Problem::Severity;
    const std::string value = Quoted(notice.text);
    switch (notice.kind) {
        case Kind::Unreadable:
        case Kind::RefusedFile:
        case Kind::ParseError:
        case Kind::WrongRoot: NoCatalogue(notice); break;
        case Kind::UnknownElement:
            // Warned of once it shows that the file gave a catalogue.
            skipped_.push_back(notice);
            break;
        case Kind::UnknownName:
            if (notice.element == "OSVersion") {
                Add(Error, "unknown-version", notice.at,
                    "OSVersion name " + value +
                        " is no version name: it reads as Windows 2000 (code 0), so the entry is "
                        "meant for Windows 2000");
            } else if (notice.element == "Mode") {
                Add(Error, "unknown-mode", notice.at,
                    "Mode " + value + " is not Basic, Normal or HiDef: it reads as HiDef");
            } else {
                Add(Error, "unknown-key-type", notice.at,
                    "KeyType " + value + " is not " + codes::KeyTypeNameList() +
                        ": the value is written as a DWORD");
            }
            break;
        case Kind::UnreadableWarningLevel:
            Add(Error, "invalid-warning-level", notice.at,
                "WarningLevel " + value +
                    " is no whole number from -32768 to 32767: the query warns as soon as it "
                    "finds one object");
            break;
        case Kind::UnclearEnabled:
            Add(Error, "unclear-enabled", notice.at,
                "Enabled " + value + " is neither True nor False: the entry counts as not enabled");
            break;
        case Kind::UnclearStop:
            Add(Error, "unclear-stop", notice.at,
                "Stop " + value + " is neither True nor False: the service is not stopped");
            break;
        case Kind::MissingElement: MissingElement(notice); break;
        case Kind::UnusualName:
            Add(Warning, "unusual-name", notice.at,
                "<" + notice.element + "> is read as " + Meaning(notice.text) +
                    ", but the writer writes <" + notice.text + ">: a misspelling?");
            break;
    }
}

void CatalogueCheck::NoCatalogue(const ReadNotice& notice) {
    using Kind = ReadNotice::Kind;
    readable_ = false;
    const std::string empty = ": the catalogue reads as empty, a run applies nothing";
    if (notice.kind == Kind::Unreadable) {
        Add(Problem::Severity::Error, "unreadable", notice.at,
            "the file cannot be read (" + notice.text + ")" + empty);
    } else if (notice.kind == Kind::RefusedFile) {
        Add(Problem::Severity::Error, "refused-file", notice.at, notice.text + empty);
    } else if (notice.kind == Kind::ParseError) {
        // A start tag the parser reported before it stopped is no root of the file's.
        std::erase_if(problems_, [](const Problem& p) { return p.code == "wrong-root"; });
        Add(Problem::Severity::Error, "not-well-formed", notice.at,
            "the file is no well-formed XML (" + notice.text + ")" + empty);
    } else {
        Add(Problem::Severity::Error, "wrong-root", notice.at,
            "the root element is <" + notice.element + ">, not <Optimizations>" + empty);
    }
}

void CatalogueCheck::MissingElement(const ReadNotice& notice) {
    using enum Problem::Severity;
    if (notice.element == "Key") {
        missingKeys_.push_back(notice.at);
        Add(Error, "missing-key", notice.at,
            std::string("the registry entry has no <Key>") + kStopsRegistry);
    } else if (notice.element == "ValueName") {
        Add(Error, "missing-value-name", notice.at,
            "the registry entry has no <ValueName>: a run writes the key's default value "
            "(<ValueName></ValueName> says that is meant)");
    } else {
        Add(Error, "missing-value", notice.at,
            "the registry entry has no <Value>: a run writes empty text, which for a STRING "
            "deletes the value (<Value></Value> says that is meant)");
    }
}

void CatalogueCheck::CheckRegistryItem(const RegistryItem& value) {
    using enum Problem::Severity;
    const XmlPosition valueAt = Or(value.ValuePosition, value.Position);
    const bool keyMissing =
        std::find(missingKeys_.begin(), missingKeys_.end(), value.Position) != missingKeys_.end();
    if (value.Key.empty()) {
        if (!keyMissing) {
            Add(Error, "empty-key", Or(value.KeyPosition, value.Position),
                std::string("the registry entry has no Key") + kStopsRegistry);
        }
    } else if (catalogue::RootOf(value.Key).value == 0) {
        Add(Error, "unknown-root", Or(value.KeyPosition, value.Position),
            "Key " + Quoted(value.Key) +
                " starts with no root key name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                "HKEY_CLASSES_ROOT, HKEY_USERS): the write fails and the run stops this "
                "entry's registry values here");
    }
    catalogue::ValueFault fault = catalogue::ValueFault::None;
    if (value.KeyType == kKeyTypeDword) {
        const catalogue::Converted<int32_t> written = catalogue::DwordOf(value.Value);
        fault = written.fault;
        if (written.Ok() && catalogue::IsRoundedDword(value.Value)) {
            Add(Warning, "dword-rounded", valueAt,
                "DWORD value " + Quoted(value.Value) + " is no plain whole number: a run writes " +
                    std::to_string(written.value));
        }
    } else if (value.KeyType == codes::kKeyTypeQword) {
        fault = catalogue::QwordOf(value.Value).fault;
    } else if (value.KeyType == kKeyTypeBinary) {
        std::string digits = value.Value;
        std::erase(digits, ',');
        const catalogue::Converted<std::vector<uint8_t>> bytes = catalogue::BytesOf(digits);
        fault = bytes.fault;
        if (bytes.Ok() && bytes.value.empty()) {
            Add(Error, "empty-binary", valueAt,
                std::string("the BINARY value holds no bytes") + kStopsRegistry);
        }
    }
    if (fault != catalogue::ValueFault::None) {
        const bool binary = value.KeyType == kKeyTypeBinary;
        const bool dword = value.KeyType == kKeyTypeDword;
        Add(Error,
            binary  ? "invalid-binary"
            : dword ? "invalid-dword"
                    : "invalid-qword",
            valueAt,
            RegistryItem::GetKeyType(value.KeyType) + " value " + Quoted(value.Value) +
                (binary ? " is no run of hexadecimal digit pairs ("
                        : " is no whole number that fits " + std::string(dword ? "32" : "64") +
                              " bits (") +
                catalogue::FaultText(fault) + ")" + kStopsRegistry);
    }
}

void CatalogueCheck::CheckRecords(const OptimizationList& catalogue) {
    using enum Problem::Severity;
    // In a file that gave no catalogue, what was skipped on the way does not matter.
    for (const ReadNotice& skipped : skipped_) {
        if (!readable_) break;
        Add(Warning, "unknown-element", skipped.at,
            "<" + skipped.element +
                "> is no element of the catalogue here: it is skipped with "
                "its content");
    }
    std::map<std::string, const OptimizationItem*> numbers;
    for (const auto& entry : catalogue) {
        const OptimizationItem& item = *entry;
        // A name that is no version name reads as Windows 2000 (code 0), which unknown-version
        // says; plan and a run take it so too. Offered nowhere is an entry that names nothing.
        if (item.Enabled && item.osVersions.empty()) {
            Add(Warning, "offered-nowhere", item.Position,
                "the entry is enabled but its OSVersion names no Windows version: no Windows "
                "offers it, so the editor does not list it and a run leaves it out");
        }
        if (!codes::PlainNumber(item.Number)) {
            Add(Warning, "number-not-plain", Or(item.NumberPosition, item.Position),
                "Number " + Quoted(item.Number) +
                    " is no plain whole number from -32768 to 32767: the editor cannot tie its "
                    "row to this entry by it");
        } else if (const auto [first, fresh] = numbers.emplace(item.Number, &item); !fresh) {
            Add(Warning, "duplicate-number", Or(item.NumberPosition, item.Position),
                "Number " + item.Number + " is also the entry's at line " +
                    std::to_string(first->second->Position.line) +
                    ": the editor's tick and --items reach both");
        }
        if (item.regItems.empty() && item.serviceItems.empty() && item.taskItems.empty() &&
            item.cmdItems.empty() && item.wmiItems.empty()) {
            Add(Warning, "no-action", item.Position,
                "the entry has no registry value, service, scheduled task, command line or WMI "
                "query: applying it does nothing");
        }
        for (const RegistryItem& value : item.regItems) CheckRegistryItem(value);
        CheckStartValues(item);
        for (const ServiceItem& service : item.serviceItems) CheckService(service);
        for (const TaskItem& task : item.taskItems) CheckTask(task);
        for (const cmdItem& command : item.cmdItems) CheckCommand(command);
        for (const wmiItem& query : item.wmiItems) CheckQuery(query);
    }
}

void CatalogueCheck::CheckService(const ServiceItem& service) {
    using enum Problem::Severity;
    constexpr const char* kStops =
        ": the action fails and the run stops this entry's services here";
    const XmlPosition nameAt = Or(service.NamePosition, service.Position);
    if (service.Name.empty()) {
        Add(Error, "empty-service-name", nameAt, std::string("the service has no Name") + kStops);
    } else if (service.Name.find_first_of("/\\") != std::string::npos ||
               Utf16Length(service.Name) > kMaxServiceName) {
        Add(Error, "invalid-service-name", nameAt,
            "Name " + Quoted(service.Name) +
                " is no service's key name (at most 256 characters, no / or \\)" + kStops);
    }
    if (!codes::ServiceStartByName(service.StartType)) {
        Add(Error, "unknown-start-type", Or(service.StartTypePosition, service.Position),
            "StartType " + Quoted(service.StartType) + " is not " + codes::StartTypeNameList() +
                kStops);
    }
}

void CatalogueCheck::CheckTask(const TaskItem& task) {
    using enum Problem::Severity;
    constexpr const char* kStops =
        ": the action fails and the run stops this entry's scheduled tasks here";
    const XmlPosition pathAt = Or(task.PathPosition, task.Position);
    if (task.Path.empty()) {
        Add(Error, "empty-task-path", pathAt,
            std::string("the scheduled task has no Path") + kStops);
    } else if (task.Path[0] != '\\') {
        Add(Error, "invalid-task-path", pathAt,
            "Path " + Quoted(task.Path) +
                " does not start with a backslash: a task is named by its path from the root "
                "folder, \\Microsoft\\Windows\\...\\Name" +
                kStops);
    }
    if (!codes::TaskEnabledByName(task.State)) {
        Add(Error, "unknown-task-state", Or(task.StatePosition, task.Position),
            "State " + Quoted(task.State) + " is not Enabled or Disabled" + kStops);
    }
}

void CatalogueCheck::CheckStartValues(const OptimizationItem& item) {
    // A per-user service's template also has UserServiceFlags set by the entry: the Service
    // Control Manager does not configure the template as a service of its own.
    const auto flagsSet = [&](const std::string& service) {
        return std::any_of(item.regItems.begin(), item.regItems.end(), [&](const RegistryItem& v) {
            return codes::UpperAscii(v.ValueName) == "USERSERVICEFLAGS" &&
                   codes::UpperAscii(v.Key) == codes::UpperAscii(kServicesKey + service);
        });
    };
    for (const RegistryItem& value : item.regItems) {
        const std::string service = ServiceOfStartValue(value);
        if (service.empty() || flagsSet(service) || IsProtectedService(service)) continue;
        Add(Problem::Severity::Warning, "service-start-as-value",
            Or(value.KeyPosition, value.Position),
            "the entry writes the Start value of service " + Quoted(service) +
                " into the registry: a <Service> action sets it through the Service Control "
                "Manager, leaves no key where the service does not exist, and can be undone");
    }
}

void CatalogueCheck::CheckCommand(const cmdItem& command) {
    using enum Problem::Severity;
    if (command.Command.empty()) {
        Add(Error, "empty-command", Or(command.CommandPosition, command.Position),
            "the command line is empty: starting it fails and the run stops this "
            "entry's command lines here");
    } else if (!NamesFullPath(command.Command)) {
        Add(Warning, "program-not-full-path", Or(command.CommandPosition, command.Position),
            "the program is named without a full path: Windows searches for it, first "
            "in the folder of Orvik.exe and in the current folder, where others than "
            "administrators may be able to put a program of that name");
    }
    if (UnquotedPathWithBlank(command.Command)) {
        Add(Warning, "program-path-unquoted", Or(command.CommandPosition, command.Position),
            "the program's path holds a blank and is not in quotes: Windows tries each run of "
            "words up to a blank first, so \"C:\\Program Files\\x\\y.exe\" starts "
            "C:\\Program.exe where one exists; put the program's path in quotes");
    }
}

void CatalogueCheck::CheckQuery(const wmiItem& query) {
    using enum Problem::Severity;
    if (!IsSelect(query.Command)) {
        Add(Warning, "query-not-select", Or(query.CommandPosition, query.Position),
            "the WMI query is no SELECT: the run counts whatever it returns, or logs "
            "the failure when the service refuses it");
    }
    if (query.WarningLevel <= 0) {
        Add(Warning, "warning-level-always", Or(query.WarningLevelPosition, query.Position),
            "WarningLevel " + std::to_string(query.WarningLevel) +
                " warns on every run, also when the query finds nothing: Orvik.exe "
                "-RUN stops on a message box each time");
    }
}

std::vector<Problem> CatalogueCheck::Problems() const {
    std::vector<Problem> sorted = problems_;
    SortByPlace(sorted);
    return sorted;
}

bool CatalogueCheck::HasErrors() const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [](const Problem& p) { return p.severity == Problem::Severity::Error; });
}

bool NamesFullPath(const std::string& commandLine) {
    const size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos) return false;
    const std::string program = commandLine.substr(commandLine[start] == '"' ? start + 1 : start);
    const bool drive = program.size() >= 3 &&
                       std::isalpha(static_cast<unsigned char>(program[0])) && program[1] == ':' &&
                       program[2] == '\\';
    return drive || program.rfind("\\\\", 0) == 0;
}

bool UnquotedPathWithBlank(const std::string& commandLine) {
    const size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string::npos || commandLine[start] == '"') return false;
    const auto program = [&](size_t end) {
        std::string word = commandLine.substr(start, std::min(end, commandLine.size()) - start);
        if (word.size() < 4) return false;
        std::string extension = word.substr(word.size() - 4);
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return extension == ".exe" || extension == ".com" || extension == ".bat" ||
               extension == ".cmd";
    };
    // The first word is the program itself when it ends like one; otherwise a longer run of
    // words that does names a program whose path has a blank.
    size_t blank = commandLine.find_first_of(" \t", start);
    if (blank == std::string::npos || program(blank)) return false;
    while (blank != std::string::npos) {
        blank = commandLine.find_first_of(" \t", blank + 1);
        if (program(blank)) return true;
    }
    return false;
}

std::string ServiceOfStartValue(const RegistryItem& value) {
    if (codes::UpperAscii(value.ValueName) != "START" || value.Key.size() <= kServicesKey.size() ||
        codes::UpperAscii(value.Key.substr(0, kServicesKey.size())) !=
            codes::UpperAscii(kServicesKey)) {
        return std::string();
    }
    const std::string name = value.Key.substr(kServicesKey.size());
    return name.find('\\') == std::string::npos ? name : std::string();
}

bool IsProtectedService(const std::string& name) {
    // Security Center, and Microsoft Defender's antimalware services with their Security Health
    // service: started as protected processes from Windows 8.1 on.
    static const char* const kProtected[] = {"WSCSVC", "WINDEFEND", "WDNISSVC", "SENSE",
                                             "SECURITYHEALTHSERVICE"};
    const std::string upper = codes::UpperAscii(name);
    return std::any_of(std::begin(kProtected), std::end(kProtected),
                       [&](const char* known) { return upper == known; });
}

void SortByPlace(std::vector<Problem>& problems) {
    // Unknown places (0) after the known ones.
    std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
        const auto place = [](const Problem& p) {
            return std::pair(p.line == 0 ? UINT32_MAX : p.line, p.column);
        };
        return place(a) < place(b);
    });
}

}  // namespace engine
