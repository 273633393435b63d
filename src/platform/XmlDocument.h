#pragma once
// The XML document object the catalogue stands on: parse a file's bytes, walk elements in
// document order, build a new document and save it. Text and paths are UTF-8; paths may use
// backslashes on every side. Only the catalogue reader and writer use it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One element of a document; valid while its document lives.
class XmlElement {
public:
    virtual ~XmlElement() = default;

    virtual std::string Name() const = 0;
    // All text inside, child elements' text included, concatenated in document order; CDATA
    // counts as text, comments and processing instructions do not. Nothing is trimmed.
    virtual std::string Text() const = 0;
    // The child elements in document order; text, comments and instructions are left out.
    virtual std::vector<std::unique_ptr<XmlElement>> ChildElements() const = 0;

    // Building a document. Failures of the document object surface when it is saved.
    virtual std::unique_ptr<XmlElement> AppendElement(const std::string& name) = 0;
    // Appends a text node, also an empty one (so that an empty element keeps its end tag).
    virtual void AppendText(const std::string& text) = 0;
};

class XmlDocument {
public:
    virtual ~XmlDocument() = default;

    // Parses a whole file as read by ReadFileBytes, its encoding taken from its byte-order mark
    // or declaration. White-space-only text between elements is dropped; no document type is
    // processed and nothing external is fetched. False when the bytes are not well-formed XML.
    virtual bool Parse(const std::string& bytes) = 0;
    // The root element of the parsed or created document; empty when there is none.
    virtual std::unique_ptr<XmlElement> Root() = 0;

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
    // Never empty: a document object that cannot be had gives one that fails to parse and save.
    virtual std::unique_ptr<XmlDocument> NewDocument() = 0;
    // The whole file, byte for byte; empty when it is missing or cannot be read. The reader
    // checks these bytes before it hands the very same bytes to Parse.
    virtual std::optional<std::string> ReadFileBytes(const std::string& path) = 0;
};

// The document object of this build: pugixml natively, MSXML 6 on Windows (library orvik_xml).
// On Windows the calling thread must have initialised COM.
std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory();
