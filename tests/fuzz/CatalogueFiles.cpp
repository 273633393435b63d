#include "CatalogueFiles.h"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string MakeScratch() {
    // Memory-backed where there is such a folder: a disk folder makes the round trip a hundred
    // times slower.
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", error)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    return (folder / ("orvik-fuzz-" + std::to_string(getpid()) + ".xml")).string();
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
