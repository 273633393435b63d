#pragma once
// The native build's XML document object, over pugixml. It behaves like the document object of
// Windows where the catalogue can tell: it refuses what a conforming parser refuses (entity
// references it does not know, a second root, text beside the root) and drops white-space-only
// text between elements.

#include "platform/XmlDocument.h"

class PugiXmlDocumentFactory : public XmlDocumentFactory {
public:
    std::unique_ptr<XmlDocument> NewDocument() override;
    // Backslashes in the path are taken as folder separators.
    std::optional<std::string> ReadFileBytes(const std::string& path) override;
};
