#pragma once
// The XML services the catalogue stands on: a file's bytes, the parser's events over them (for
// the reader), and a document object that is built and saved (for the writer). Text and paths
// are UTF-8; paths may use backslashes on every side.

#include <memory>
#include <optional>
#include <string>

#include "platform/XmlEvents.h"

// One element of a document being built; valid while its document lives. Failures of the
// document object surface when it is saved.
class XmlElement {
public:
    virtual ~XmlElement() = default;
    virtual std::unique_ptr<XmlElement> AppendElement(const std::string& name) = 0;
    // Appends a text node, also an empty one (so that an empty element keeps its end tag).
    virtual void AppendText(const std::string& text) = 0;
};

class XmlDocument {
public:
    virtual ~XmlDocument() = default;
    // Starts a new document: the declaration (version 1.0, UTF-8), the processing instruction
    // xml-stylesheet with the given data, and the root element, which is returned.
    virtual std::unique_ptr<XmlElement> Create(const std::string& rootName,
                                               const std::string& stylesheetData) = 0;
    // Writes the document as UTF-8 without byte-order mark, replacing the file; false on failure.
    virtual bool Save(const std::string& path) = 0;
};

class XmlDocumentFactory {
public:
    virtual ~XmlDocumentFactory() = default;
    // Never empty: a document object that cannot be had gives one that fails to save.
    virtual std::unique_ptr<XmlDocument> NewDocument() = 0;
    // The whole file, byte for byte; empty when it is missing or cannot be read, and then why
    // in the system's words ("it is a folder" for one). The reader checks these bytes before
    // it hands them to ReadEvents.
    virtual std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) = 0;
    std::optional<std::string> ReadFileBytes(const std::string& path) {
        std::string why;
        return ReadFileBytes(path, why);
    }
    // Parses a whole file as read by ReadFileBytes, its encoding taken from its byte-order mark
    // or declaration, and reports what it finds to events. No document type is processed and
    // nothing external is fetched. False when the bytes are not well-formed XML (Error has been
    // reported then). A parser that cannot be had throws std::runtime_error, saying why; what a
    // handler throws is thrown on from here once the parser has let go.
    virtual bool ReadEvents(const std::string& bytes, XmlEvents& events) = 0;
};

// The XML services of this build: expat and pugixml natively, MSXML 6 on Windows (library
// orvik_xml). On Windows the calling thread must have initialised COM.
std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory();
