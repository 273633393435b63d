#pragma once
// The document object of the native build, serving the fuzzer's bytes as the catalogue file
// without touching the disk; every other path is a real file. A scratch file per process takes
// what the writer saves.

#include <memory>
#include <optional>
#include <string>

#include "platform/XmlDocument.h"

class BytesAsFile : public XmlDocumentFactory {
public:
    static constexpr const char* kPath = "fuzz:catalogue.xml";

    std::string bytes;

    std::unique_ptr<XmlDocument> NewDocument() override { return real_->NewDocument(); }
    std::optional<std::string> ReadFileBytes(const std::string& path) override {
        if (path == kPath) return bytes;
        return real_->ReadFileBytes(path);
    }
    bool ReadEvents(const std::string& file, XmlEvents& events) override {
        return real_->ReadEvents(file, events);
    }

private:
    std::unique_ptr<XmlDocumentFactory> real_ = NewXmlDocumentFactory();
};

// A file of this process's own in the temporary folder; the targets remove it after each input
// and at exit, so only an input that broke a property leaves it behind.
const std::string& ScratchFile();
