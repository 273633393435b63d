#pragma once
// What the editor's Export and Save need of the machine beyond the windows: files, starting the
// browser, opening a document with its associated viewer, and turning the catalogue into an HTML
// report. Results are Windows error codes (0 = success). Paths and text are UTF-8.

#include <cstdint>
#include <string>

class Shell {
public:
    virtual ~Shell() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // Starts a command line with a normal, activated window; not awaited.
    virtual uint32_t StartProcess(const std::string& commandLine) = 0;
    // Opens a document with the viewer the machine associates with it.
    virtual uint32_t OpenDocument(const std::string& path) = 0;
    // Applies the stylesheet to the XML file and writes the result as a UTF-8 HTML file.
    virtual uint32_t TransformToHtml(const std::string& xmlPath, const std::string& xslPath,
                                     const std::string& htmlPath) = 0;
    // The user's folder for temporary files, without a trailing backslash.
    virtual std::string TempFolder() = 0;
    // Replaces `to` by `from` in one step, through to the disk; `from` is gone afterwards.
    virtual uint32_t ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual void RemoveFile(const std::string& path) = 0;
    // Whether a file can be created at path: makes it, empty, and removes it again. Tells why a
    // write failed where the writer cannot.
    virtual uint32_t ProbeWrite(const std::string& path) = 0;
    // The system's words for an error code.
    virtual std::string ErrorText(uint32_t code) = 0;
};
