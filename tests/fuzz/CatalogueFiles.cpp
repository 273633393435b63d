#include "CatalogueFiles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string MakeScratch() {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("orvik-fuzz-" + std::to_string(getpid()) + ".xml");
    return path.string();
}

}  // namespace

const std::string& ScratchFile() {
    static const std::string path = [] {
        std::string made = MakeScratch();
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return made;
    }();
    return path;
}
