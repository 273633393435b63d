// Prints what the reader makes of a catalogue, one JSON object per record, so that the report
// check compares the page with the program's own reading (MSXML, as on the users' machines):
//   orvik_catalogue_records FILE.xml

#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "platform/XmlDocument.h"

namespace {

std::string Json(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CATALOGUE.xml\n", argv[0]);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const auto factory = NewXmlDocumentFactory();
    const std::string path = argv[1];
    const OptimizationList items = XmlReader(*factory, "").ReadXML(path);
    // The versions a machine can be identified as, and for each record those it is offered on.
    std::vector<int32_t> machines;
    for (int32_t code = 0; code < codes::kVersionCount; ++code) {
        if (code != codes::kAll && code != codes::kWindowsServer2003R2) machines.push_back(code);
    }
    auto names = [](const std::vector<int32_t>& list) {
        std::string text;
        for (int32_t code : list) {
            text += (text.empty() ? "" : ", ") + Json(codes::GetOSString(code));
        }
        return "[" + text + "]";
    };
    std::printf("{\"machines\": %s, \"records\": [\n", names(machines).c_str());
    for (size_t i = 0; i < items.size(); ++i) {
        const OptimizationItem& item = *items[i];
        std::vector<int32_t> offered;
        for (int32_t machine : machines) {
            if (codes::IsOffered(item.osVersions, machine)) offered.push_back(machine);
        }
        std::printf(
            "{\"number\": %s, \"name\": %s, \"enabled\": %s, \"category\": %s, \"impact\": %s, "
            "\"description\": %s, \"justification\": %s, \"versions\": %s, \"offered\": %s, "
            "\"actions\": %zu}%s\n",
            Json(item.Number).c_str(), Json(item.Name).c_str(), item.Enabled ? "true" : "false",
            Json(item.Category).c_str(), Json(item.Impact).c_str(),
            Json(item.Description).c_str(), Json(item.Justification).c_str(),
            names(item.osVersions).c_str(), names(offered).c_str(),
            item.regItems.size() + item.cmdItems.size() + item.wmiItems.size(),
            i + 1 < items.size() ? "," : "");
    }
    std::printf("]}\n");
    return 0;
}
