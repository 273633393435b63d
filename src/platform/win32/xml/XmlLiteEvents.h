#pragma once
// The catalogue's events from XmlLite, the pull parser Windows has had since Vista (and XP SP3):
// no COM apartment, no window library, read from the bytes already in memory.

#include <memory>
#include <string>

#include "platform/XmlEvents.h"

namespace win32 {

class XmlLiteReader {
public:
    // XmlLite from the system folder; null where Windows has none (2000, XP before SP3).
    static std::unique_ptr<XmlLiteReader> Load();
    ~XmlLiteReader();
    XmlLiteReader(const XmlLiteReader&) = delete;
    XmlLiteReader& operator=(const XmlLiteReader&) = delete;

    // Whether XmlLite reads these bytes right everywhere: Wine's cuts a reference to a character
    // beyond U+FFFF to 16 bits, and fails in a start tag of more than some 12,000 characters
    // that holds a reference. MSXML reads such a file instead.
    static bool Takes(const std::string& bytes);

    // As XmlDocumentFactory::ReadEvents.
    bool ReadEvents(const std::string& bytes, XmlEvents& events);

private:
    using CreateReaderFn = long(__stdcall*)(const void* iid, void** reader, void* malloc);
    XmlLiteReader(void* module, CreateReaderFn create) : module_(module), create_(create) {}

    void* module_;
    CreateReaderFn create_;
};

}  // namespace win32
