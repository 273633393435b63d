#pragma once
// The Windows XML document object: MSXML 6 through COM. The calling thread must have initialised
// COM. Document types are prohibited and nothing external is resolved; the catalogue reader
// refuses document types before parsing as well, since not every MSXML honours the prohibition.

#include "platform/XmlDocument.h"

class MsXmlDocumentFactory : public XmlDocumentFactory {
public:
    std::unique_ptr<XmlDocument> NewDocument() override;
    std::optional<std::string> ReadFileBytes(const std::string& path) override;
};
