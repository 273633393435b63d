#pragma once
// Where the program of a command line would be found if it were started, without starting it.
// Paths are UTF-8.

#include <string>
#include <vector>

class ProgramSearch {
public:
    virtual ~ProgramSearch() = default;
    // The folders searched for a program named without a path, in the order a run searches
    // them: the starting program's folder, the current folder, the system folder, the 16-bit
    // system folder, the Windows folder, then those of PATH; elevated, the system folder and the
    // Windows folder alone.
    virtual std::vector<std::string> SearchFolders() = 0;
    // True when path names a file, not a folder; a relative path is taken from the current
    // folder.
    virtual bool IsFile(const std::string& path) = 0;
};
