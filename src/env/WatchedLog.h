#pragma once
// The failure log (SarnetLog.txt) as a run appends to it, watched: a line that cannot be written
// does not stop the run, but the program that ran it can say that the log lacks it.

#include <cstddef>
#include <string>

#include "platform/FileSystem.h"

class WatchedLog final : public FileSystem {
public:
    explicit WatchedLog(FileSystem& files) : files_(files) {}

    bool Append(const std::string& path, const std::string& bytes) override {
        if (files_.Append(path, bytes)) return true;
        if (lostLines++ == 0) lostPath = path;
        return false;
    }
    std::string ToSystemCodePage(const std::string& utf8) override {
        return files_.ToSystemCodePage(utf8);
    }

    // How many lines were lost, and the file the first of them was meant for.
    size_t lostLines = 0;
    std::string lostPath;

private:
    FileSystem& files_;
};
