#pragma once
// The Windows XML services: files through kernel32, events from XmlLite where Windows has it
// (else MSXML 6's SAX2 reader), the writer's document from MSXML 6's DOM. MSXML needs the calling
// thread to have initialised COM; XmlLite does not. Document
// types are prohibited and nothing external is resolved; the catalogue reader refuses document
// types before parsing as well, since not every MSXML honours the prohibition.

#include <windows.h>

#include "platform/XmlDocument.h"
#include "platform/win32/common/ComPtr.h"
#include "platform/win32/xml/XmlLiteEvents.h"

class MsXmlDocumentFactory : public XmlDocumentFactory {
public:
    // The reader is chosen here, once: XmlLite unless told to read with MSXML or Windows has none.
    explicit MsXmlDocumentFactory(bool xmlLite = true)
        : xmlLite_(xmlLite ? win32::XmlLiteReader::Load() : nullptr) {}
    std::unique_ptr<XmlDocument> NewDocument() override;
    using XmlDocumentFactory::ReadFileBytes;
    std::optional<std::string> ReadFileBytes(const std::string& path, std::string& why) override;
    bool ReadEvents(const std::string& bytes, XmlEvents& events) override;

private:
    std::unique_ptr<win32::XmlLiteReader> xmlLite_;
    // The SAX2 reader, made at the first parse and used again: a folder of policy definitions
    // is hundreds of files, and making the reader is a good part of parsing a small one.
    win32::ComPtr<IUnknown> saxReader_;
};
