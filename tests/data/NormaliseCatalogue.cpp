// Rewrites a catalogue file through the reader and the writer, so that it is in the writer's
// layout and Save in the editor changes only the ticks. Used on data/OrvikOptimizations.xml after
// editing it by hand:  orvik_normalise_catalogue data/OrvikOptimizations.xml

#include <cstdio>
#include <string>

#include "catalogue/XmlReader.h"
#include "catalogue/XmlWriter.h"
#include "platform/XmlDocument.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CATALOGUE.xml\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const std::string folder = path.substr(0, path.find_last_of("/\\") + 1);
    auto factory = NewXmlDocumentFactory();
    if (!factory->ReadFileBytes(path)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const OptimizationList items = XmlReader(*factory, folder).ReadXML(path);
    // A file the reader refuses reads as empty; writing that back would wipe the catalogue.
    if (items.empty()) {
        std::fprintf(stderr, "%s holds no optimizations the reader accepts\n", path.c_str());
        return 1;
    }
    if (!XmlWriter(*factory, folder).WriteXMLFile(items, path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%zu optimizations written to %s\n", items.size(), path.c_str());
    return 0;
}
