// Loads the library named by its last argument: as a program does that restricts nothing, or,
// with --restricted first, after the programs' own restriction of the library search.

#include <windows.h>

#include <cstring>

#include "platform/win32/security/LibrarySearch.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--restricted") == 0) win32::RestrictLibrarySearch();
    return argc >= 2 && LoadLibraryA(argv[argc - 1]) != nullptr ? 0 : 1;
}
