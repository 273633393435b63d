#pragma once
// What the editor's Export and Save need of the machine beyond the windows: the report, files,
// and opening a document with the program the machine associates with it. Results are Windows
// error codes (0 = success). Paths and text are UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ReportRenderer.h"

class Shell : public ReportRenderer {
public:
    // Opens a document as a double-click would: a web page in the default browser. Not awaited.
    virtual uint32_t OpenDocument(const std::string& path) = 0;
    // Writes the bytes as the whole file, replacing it. A write that fails part-way leaves no
    // file behind.
    virtual uint32_t WriteFileBytes(const std::string& path, const std::string& bytes) = 0;
    // The user's folder for temporary files, without a trailing backslash.
    virtual std::string TempFolder() = 0;
    // Replaces `to` by `from` in one step, through to the disk; `from` is gone afterwards.
    virtual uint32_t ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual void RemoveFile(const std::string& path) = 0;
    // The names of the files in a folder, in no particular order; none when it cannot be read.
    virtual std::vector<std::string> FileNames(const std::string& folder) = 0;
    // Whether a file can be created at path: makes it, empty, and removes it again. Tells why a
    // write failed where the writer cannot.
    virtual uint32_t ProbeWrite(const std::string& path) = 0;
    // Starts this program once more, without arguments, as an administrator ("runas": the
    // system asks for consent or an administrator's password). 0 once it runs; 1223 when the
    // user declined.
    virtual uint32_t StartSelfElevated() = 0;
    // The system's words for an error code.
    virtual std::string ErrorText(uint32_t code) = 0;
};
