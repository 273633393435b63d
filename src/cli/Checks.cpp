#include "cli/Checks.h"

#include <algorithm>
#include <map>

#include "catalogue/Codes.h"
#include "engine/regRunner.h"
#include "ui/frmAdvanced.h"

namespace cli {
namespace {

constexpr int32_t kKeyTypeDword = 0;
constexpr int32_t kKeyTypeBinary = 2;
constexpr const char* kStopsRegistry = ": the run stops this entry's registry values here";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsSelect(const std::string& query) {
    const size_t first = query.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    const std::string word = codes::UpperAscii(query.substr(first, 7));
    return word.size() == 7 && word.compare(0, 6, "SELECT") == 0 &&
           (word[6] == ' ' || word[6] == '\t' || word[6] == '\r' || word[6] == '\n');
}

}  // namespace

void CatalogueCheck::Add(Problem::Severity severity, std::string code, uint32_t line,
                         uint32_t column, std::string message) {
    problems_.push_back({severity, std::move(code), line, column, std::move(message)});
}

void CatalogueCheck::CheckRecords(const OptimizationList& catalogue) {
    using enum Problem::Severity;
    std::map<std::string, const OptimizationItem*> numbers;
    for (const OptimizationItemPtr& entry : catalogue) {
        const OptimizationItem& item = *entry;
        const uint32_t line = 0, column = 0;
        if (!editor::PlainNumber(item.Number)) {
            Add(Warning, "number-not-plain", line, column,
                "Number " + Quoted(item.Number) +
                    " is no plain whole number from -32768 to 32767: the editor cannot tie its "
                    "row to this entry by it");
        } else if (const auto [first, fresh] = numbers.emplace(item.Number, &item); !fresh) {
            Add(Warning, "duplicate-number", line, column,
                "Number " + item.Number +
                    " is also an earlier entry's: the editor's tick and --items reach both");
        }
        if (item.regItems.empty() && item.cmdItems.empty() && item.wmiItems.empty()) {
            Add(Warning, "no-action", line, column,
                "the entry has no registry value, command line or WMI query: applying it does "
                "nothing");
        }
        for (const RegistryItem& value : item.regItems) {
            if (value.Key.empty()) {
                Add(Error, "empty-key", line, column, std::string("the registry entry has no Key") +
                                                          kStopsRegistry);
            } else if (regRunner::ParseClassKey(value.Key) == 0) {
                Add(Error, "unknown-root", line, column,
                    "Key " + Quoted(value.Key) +
                        " starts with no root key name (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                        "HKEY_CLASSES_ROOT, HKEY_USERS): the write fails and the run stops this "
                        "entry's registry values here");
            }
            try {
                if (value.KeyType == kKeyTypeDword) {
                    regRunner::ToDword(value.Value);
                } else if (value.KeyType == kKeyTypeBinary) {
                    std::string digits = value.Value;
                    std::erase(digits, ',');
                    if (regRunner::HexStringToByteArray(digits).empty()) {
                        Add(Error, "empty-binary", line, column,
                            std::string("the BINARY value holds no bytes") + kStopsRegistry);
                    }
                }
            } catch (const ErrorRecord& failure) {
                const bool dword = value.KeyType == kKeyTypeDword;
                Add(Error, dword ? "invalid-dword" : "invalid-binary", line, column,
                    (dword ? "DWORD value " + Quoted(value.Value) +
                                 " is no whole number that fits 32 bits ("
                           : "BINARY value " + Quoted(value.Value) +
                                 " is no run of hexadecimal digit pairs (") +
                        failure.Description + ")" + kStopsRegistry);
            }
        }
        for (const cmdItem& command : item.cmdItems) {
            if (command.Command.empty()) {
                Add(Error, "empty-command", line, column,
                    "the command line is empty: starting it fails and the run stops this "
                    "entry's command lines here");
            }
        }
        for (const wmiItem& query : item.wmiItems) {
            if (!IsSelect(query.Command)) {
                Add(Warning, "query-not-select", line, column,
                    "the WMI query is no SELECT: the run counts whatever it returns, or logs "
                    "the failure when the service refuses it");
            }
            if (query.WarningLevel <= 0) {
                Add(Warning, "warning-level-always", line, column,
                    "WarningLevel " + std::to_string(query.WarningLevel) +
                        " warns on every run, also when the query finds nothing: Orvik.exe "
                        "-RUN stops on a message box each time");
            }
        }
    }
}

std::vector<Problem> CatalogueCheck::Problems() const {
    std::vector<Problem> sorted = problems_;
    // Unknown places (0) after the known ones.
    std::stable_sort(sorted.begin(), sorted.end(), [](const Problem& a, const Problem& b) {
        const auto place = [](const Problem& p) {
            return std::pair(p.line == 0 ? UINT32_MAX : p.line, p.column);
        };
        return place(a) < place(b);
    });
    return sorted;
}

bool CatalogueCheck::HasErrors() const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [](const Problem& p) { return p.severity == Problem::Severity::Error; });
}

}  // namespace cli
