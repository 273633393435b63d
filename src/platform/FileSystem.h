#pragma once
// Files, as the system needs them: appending log lines, reading and replacing whole files.
// Paths and text are UTF-8.

#include <string>

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Appends the bytes at the end of the file, creating it when missing; false on any failure.
    virtual bool Append(const std::string& path, const std::string& bytes) = 0;
    // UTF-8 text to the system's 8-bit code page (characters it cannot hold become '?').
    virtual std::string ToSystemCodePage(const std::string& utf8) = 0;
};
