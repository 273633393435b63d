#pragma once
// The Windows XML services: files through kernel32, events from MSXML 6's SAX2 reader, the
// writer's document from MSXML 6's DOM. The calling thread must have initialised COM. Document
// types are prohibited and nothing external is resolved; the catalogue reader refuses document
// types before parsing as well, since not every MSXML honours the prohibition.

#include <windows.h>

#include "platform/XmlDocument.h"
#include "platform/win32/common/ComPtr.h"

class MsXmlDocumentFactory : public XmlDocumentFactory {
public:
    std::unique_ptr<XmlDocument> NewDocument() override;
    using XmlDocumentFactory::ReadFileBytes;
    std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) override;
    bool ReadEvents(const std::string& bytes, XmlEvents& events) override;

private:
    // The SAX2 reader, made at the first parse and used again: a folder of policy definitions
    // is hundreds of files, and making the reader is a good part of parsing a small one.
    win32::ComPtr<IUnknown> saxReader_;
};
