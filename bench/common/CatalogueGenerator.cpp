#include "bench/common/CatalogueGenerator.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "catalogue/Codes.h"

namespace bench {
namespace {

const char* const kImpacts[] = {"LOW", "MEDIUM", "HIGH"};
const char* const kCategories[] = {"STORAGE", "USER EXPERIENCE", "CPU AND MEMORY"};
const char* const kServices[] = {"WSearch", "SysMain", "DiagTrack", "wuauserv",          "Themes",
                                 "BITS",    "Spooler", "WerSvc",    "TabletInputService"};

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
    return out;
}

// The writer's layout: a line end and two blanks per level before every tag on its own line.
class Lines {
public:
    explicit Lines(std::string& out) : out_(out) {}
    void Open(int depth, const char* name) { Indent(depth) += std::string("<") + name + ">"; }
    void Close(int depth, const char* name) { Indent(depth) += std::string("</") + name + ">"; }
    void Value(int depth, const char* name, const std::string& text) {
        Indent(depth) += std::string("<") + name + ">" + Escaped(text) + "</" + name + ">";
    }

private:
    std::string& Indent(int depth) {
        out_ += '\n';
        out_.append(static_cast<size_t>(depth) * 2, ' ');
        return out_;
    }
    std::string& out_;
};

std::string VersionsText(const VersionList& versions) {
    std::string text;
    for (int32_t code : versions) {
        for (char c : codes::GetOSString(code)) {
            if (c != ' ') text += c;
        }
        text += ' ';
    }
    return text;
}

}  // namespace

OptimizationList MakeCatalogue(int count) {
    OptimizationList items;
    items.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        auto item = std::make_shared<OptimizationItem>();
        const std::string n = std::to_string(i);
        const std::string service = kServices[i % 9];
        item->Number = n;
        // Some names outside ASCII, so that the text conversions of the Windows side take part.
        item->Name = (i % 7 == 0 ? "Désactiver le service " : "Disable the service ") + service +
                     " (" + n + ")";
        item->Description = "Stops the " + service +
                            " service from starting with Windows and sets its start type to "
                            "disabled, so that it neither runs nor is started on demand. ";
        item->Justification = " A golden image for virtual desktops gains nothing from " + service +
                              ": every desktop would run it again after each refresh "
                              "& the storage shared by all desktops pays for its I/O.";
        item->osVersions = i % 5 == 0 ? std::vector<int32_t>{codes::kWindows7, codes::kAll}
                                      : std::vector<int32_t>{codes::kAll};
        item->Enabled = i % 3 != 0;
        item->mode = i % 3;
        item->Impact = kImpacts[i % 3];
        item->Category = kCategories[(i / 3) % 3];

        RegistryItem start;
        start.Key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + service;
        start.ValueName = "Start";
        start.KeyType = 0;
        start.Value = "4";
        RegistryItem note;
        note.Key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvik\\Optimizations\\" + n;
        note.ValueName = "AppliedBy";
        note.KeyType = 1;
        note.Value = "Orvik Optimizer golden image tuning, optimization " + n;
        item->regItems = {start, note};

        cmdItem command;
        command.Command = "sc.exe config " + service + " start= disabled && sc.exe stop " + service;
        item->cmdItems = {command};

        wmiItem query;
        query.Command =
            "SELECT * FROM Win32_Service WHERE Name = '" + service + "' AND State = 'Running'";
        query.WarningLevel = static_cast<int16_t>(i % 4 == 0 ? 9999 : 1);
        item->wmiItems = {query};
        items.push_back(std::move(item));
    }
    return items;
}

std::string CatalogueText(const OptimizationList& items) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"?>\n"
        "<Optimizations>";
    out.reserve(items.size() * 1400 + 256);
    Lines lines(out);
    for (const OptimizationItemPtr& item : items) {
        lines.Open(1, "Item");
        lines.Value(2, "Number", item->Number);
        lines.Value(2, "Name", item->Name);
        lines.Value(2, "Description", item->Description + "Justification:" + item->Justification);
        lines.Value(2, "OSVersion", VersionsText(item->osVersions));
        lines.Value(2, "Enabled", item->Enabled ? "True" : "False");
        lines.Value(2, "Mode", codes::GetMode(item->mode));
        lines.Value(2, "Impact", item->Impact);
        lines.Value(2, "Category", item->Category);
        if (!item->regItems.empty()) {
            lines.Open(2, "RegistryEntries");
            for (const RegistryItem& reg : item->regItems) {
                lines.Open(3, "RegistryEntry");
                lines.Value(4, "Key", reg.Key);
                lines.Value(4, "ValueName", reg.ValueName);
                lines.Value(4, "KeyType", RegistryItem::GetKeyType(reg.KeyType));
                lines.Value(4, "Value", reg.Value);
                lines.Close(3, "RegistryEntry");
            }
            lines.Close(2, "RegistryEntries");
        }
        if (!item->cmdItems.empty()) {
            lines.Open(2, "CommandLines");
            for (const cmdItem& cmd : item->cmdItems) {
                lines.Open(3, "CommandLine");
                lines.Value(4, "Command", cmd.Command);
                lines.Close(3, "CommandLine");
            }
            lines.Close(2, "CommandLines");
        }
        if (!item->wmiItems.empty()) {
            lines.Open(2, "WMIQueries");
            for (const wmiItem& wmi : item->wmiItems) {
                lines.Open(3, "WMIQuery");
                lines.Value(4, "Command", wmi.Command);
                lines.Value(4, "WarningLevel", std::to_string(wmi.WarningLevel));
                lines.Close(3, "WMIQuery");
            }
            lines.Close(2, "WMIQueries");
        }
        lines.Close(1, "Item");
    }
    lines.Close(0, "Optimizations");
    out += '\n';
    return out;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace bench
