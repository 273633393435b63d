#include "CatalogueRules.h"

#include <cctype>
#include <charconv>
#include <cstdint>

#include "catalogue/Codes.h"
#include "catalogue/OptimizationItem.h"

namespace shipped {

namespace {

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

const std::string kPowerShell = "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";

}  // namespace

bool IsPlainNumber(const std::string& text) {
    int16_t number = 0;
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, number);
    // Only the text the editor makes of a number: not "07", "-0", "+7" or " 7".
    return parsed.ec == std::errc() && parsed.ptr == end && std::to_string(number) == text;
}

bool IsBinaryText(const std::string& text) {
    size_t digits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ',') {
            // Only between whole bytes, never doubled, leading or trailing.
            if (digits == 0 || digits % 2 != 0 || i + 1 == text.size() || text[i + 1] == ',')
                return false;
            continue;
        }
        if (!IsUpperHex(text[i])) return false;
        ++digits;
    }
    return digits > 0 && digits % 2 == 0;
}

std::string RootOf(const std::string& key) {
    const std::string first = key.substr(0, key.find('\\'));
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                             "HKEY_USERS"}) {
        if (first == root) return first;
    }
    return std::string();
}

std::string ProgramOf(const std::string& command) {
    if (command.empty()) return std::string();
    if (command[0] == '"') {
        const size_t close = command.find('"', 1);
        return close == std::string::npos ? std::string() : command.substr(1, close - 1);
    }
    return command.substr(0, command.find(' '));
}

bool IsFullProgramPath(const std::string& program) {
    if (program.size() < 8) return false;
    const bool drive = std::isalpha(static_cast<unsigned char>(program[0])) && program[1] == ':' &&
                       program[2] == '\\';
    std::string extension = program.substr(program.size() - 4);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // The runner expands no environment references, so %SystemRoot% would reach Windows as is.
    return drive && extension == ".exe" && program.find('%') == std::string::npos;
}

bool NeedsInterpreter(const std::string& command) {
    if (codes::UpperAscii(ProgramOf(command)) == codes::UpperAscii(kPowerShell)) return false;
    return command.find_first_of("&|<>") != std::string::npos;
}

bool IsOddPowerShell(const std::string& command) {
    const std::string upper = codes::UpperAscii(command);
    if (upper.find("POWERSHELL") == std::string::npos) return false;
    const std::string form =
        kPowerShell + " -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command ";
    return upper.rfind(codes::UpperAscii(form), 0) != 0;
}

std::string Disruption(const OptimizationItem& item) {
    std::string actions;
    for (const auto& action : item.regItems) actions += action.Key + "\\" + action.ValueName + "\n";
    for (const auto& action : item.cmdItems) actions += action.Command + "\n";
    actions = codes::UpperAscii(actions);
    for (const char* kind :
         {"REMOVE-APPXPROVISIONEDPACKAGE", "UNINSTALL-WINDOWSFEATURE", "\\SERVICES\\WUAUSERV\\",
          "\\AU\\NOAUTOUPDATE", "\\SERVICES\\WSEARCH\\", "\\SERVICES\\WINDEFEND\\",
          "\\POLICIES\\MICROSOFT\\WINDOWS DEFENDER"}) {
        if (actions.find(kind) != std::string::npos) return kind;
    }
    return std::string();
}

}  // namespace shipped
