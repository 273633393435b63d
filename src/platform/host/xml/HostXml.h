#pragma once
// The native build's XML services: files through the C++ library, events from expat, the
// writer's document from pugixml. Where the catalogue can tell, it behaves like MSXML: it
// refuses what a conforming parser refuses (entity references it does not know, a prefix
// nobody declared, a second root, text beside the root).

#include "platform/XmlDocument.h"

class HostXmlFactory : public XmlDocumentFactory {
public:
    std::unique_ptr<XmlDocument> NewDocument() override;
    // Backslashes in the path are taken as folder separators.
    using XmlDocumentFactory::ReadFileBytes;
    std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) override;
    bool ReadEvents(const std::string& bytes, XmlEvents& events) override;
};
