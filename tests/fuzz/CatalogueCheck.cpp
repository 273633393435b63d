#include "CatalogueCheck.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace cataloguecheck {
namespace {

void Put(std::ostream& out, const std::string& text, bool lineFeeds) {
    static const char* const kHex = "0123456789ABCDEF";
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (lineFeeds && c == '\r') {
            c = '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
        // The separators are shown as bytes too, so no value can pass for two.
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '|' && c != ';' && c != '[') {
            out << static_cast<char>(c);
        } else {
            out << "\\x" << kHex[c >> 4] << kHex[c & 0xF];
        }
    }
    out << '|';
}

}  // namespace

std::string Dump(const OptimizationList& records, bool lineFeeds) {
    std::ostringstream out;
    for (const OptimizationItemPtr& item : records) {
        for (const std::string* text : {&item->Number, &item->Name, &item->Description,
                                        &item->Justification, &item->Category, &item->Impact}) {
            Put(out, *text, lineFeeds);
        }
        out << item->mode << '|' << item->Enabled << '|';
        for (int32_t code : item->osVersions) out << code << ';';
        for (const RegistryItem& reg : item->regItems) {
            out << "[R" << reg.KeyType << ';';
            for (const std::string* text : {&reg.Key, &reg.ValueName, &reg.Value}) {
                Put(out, *text, lineFeeds);
            }
        }
        for (const ServiceItem& service : item->serviceItems) {
            out << (service.Stop ? "[S!" : "[S");
            Put(out, service.Name, lineFeeds);
            Put(out, service.StartType, lineFeeds);
        }
        for (const TaskItem& task : item->taskItems) {
            out << "[T";
            Put(out, task.Path, lineFeeds);
            Put(out, task.State, lineFeeds);
        }
        for (const cmdItem& cmd : item->cmdItems) {
            out << "[C";
            Put(out, cmd.Command, lineFeeds);
        }
        for (const wmiItem& wmi : item->wmiItems) {
            out << "[W" << wmi.WarningLevel << ';';
            Put(out, wmi.Command, lineFeeds);
        }
        out << '\n';
    }
    return out.str();
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream want(expected), got(actual);
    std::string a, b;
    while (true) {
        const bool moreWanted = static_cast<bool>(std::getline(want, a));
        const bool moreGot = static_cast<bool>(std::getline(got, b));
        if (!moreWanted && !moreGot) return std::string();
        if (moreWanted != moreGot || a != b) {
            return "expected\n  " + (moreWanted ? a : "(none)") + "\ngot\n  " +
                   (moreGot ? b : "(none)");
        }
    }
}

const std::string& ScratchFile() {
    static const std::string path = [] {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                                 ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path();
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return (folder / ("orvik-fuzz-" + std::to_string(getpid()) + ".xml")).string();
    }();
    return path;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace cataloguecheck
