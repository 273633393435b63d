// Prints what the reader makes of a catalogue, one JSON object per record, and the program's
// version, so that the report check compares the page with the program's own reading (MSXML, as
// on the users' machines):
//   orvik_catalogue_records FILE.xml

#include <objbase.h>

#include <cstdio>
#include <vector>

#include "OrvikVersion.h"
#include "catalogue/Codes.h"
#include "catalogue/XmlReader.h"
#include "json/Json.h"
#include "platform/XmlDocument.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CATALOGUE.xml\n", argv[0]);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const auto factory = NewXmlDocumentFactory();
    const OptimizationList items = XmlReader(*factory, "").ReadXML(argv[1]);
    // The versions a machine can be identified as, and for each record those it is offered on.
    std::vector<int32_t> machines;
    for (int32_t code = 0; code < codes::kVersionCount; ++code) {
        if (code != codes::kAll && code != codes::kWindowsServer2003R2) machines.push_back(code);
    }
    json::JsonWriter out;
    const auto names = [&out](const VersionList& list) {
        out.BeginArray();
        for (int32_t code : list) out.String(codes::GetOSString(code));
        out.EndArray();
    };
    out.BeginObject().Key("version").String(ORVIK_VERSION).Key("machines");
    names(machines);
    out.Key("records").BeginArray();
    for (const OptimizationItemPtr& item : items) {
        std::vector<int32_t> offered;
        for (int32_t machine : machines) {
            if (codes::IsOffered(item->osVersions, machine)) offered.push_back(machine);
        }
        out.BeginObject().Key("number").String(item->Number).Key("name").String(item->Name);
        out.Key("enabled").Bool(item->Enabled).Key("category").String(item->Category);
        out.Key("impact").String(item->Impact).Key("description").String(item->Description);
        out.Key("justification").String(item->Justification).Key("versions");
        names(item->osVersions);
        out.Key("offered");
        names(offered);
        out.Key("actions").Number(static_cast<int64_t>(
            item->regItems.size() + item->serviceItems.size() + item->taskItems.size() +
            item->cmdItems.size() + item->wmiItems.size()));
        out.EndObject();
    }
    out.EndArray().EndObject();
    std::fputs(out.Text().c_str(), stdout);
    return 0;
}
