#include "platform/win32/xml/MsXmlDocument.h"

#include <windows.h>
#include <msxml2.h>

#include <memory>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/WholeFile.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/xml/SafeDocument.h"

namespace {

using win32::Bstr;
using win32::ComPtr;
using win32::ComVariant;
using win32::Widen;

// What the elements of one document share: the document, to create nodes, and whether any
// building step has failed, which Save then reports.
struct Shared {
    ComPtr<IXMLDOMDocument2> doc;
    bool buildFailed = false;
};

class MsXmlElement : public XmlElement {
public:
    MsXmlElement(std::shared_ptr<Shared> shared, ComPtr<IXMLDOMNode> node)
        : shared_(std::move(shared)), node_(std::move(node)) {}

    std::unique_ptr<XmlElement> AppendElement(const std::string& name) override {
        ComPtr<IXMLDOMElement> element;
        ComPtr<IXMLDOMNode> added;
        if (!node_ || !shared_->doc ||
            FAILED(shared_->doc->createElement(Bstr(Widen(name)).Get(), element.Put())) ||
            FAILED(node_->appendChild(element.Get(), added.Put()))) {
            shared_->buildFailed = true;
        }
        return std::make_unique<MsXmlElement>(shared_, added);
    }

    void AppendText(const std::string& text) override {
        ComPtr<IXMLDOMText> node;
        ComPtr<IXMLDOMNode> added;
        if (!node_ || !shared_->doc ||
            FAILED(shared_->doc->createTextNode(Bstr(Widen(text)).Get(), node.Put())) ||
            FAILED(node_->appendChild(node.Get(), added.Put()))) {
            shared_->buildFailed = true;
        }
    }

private:
    std::shared_ptr<Shared> shared_;
    ComPtr<IXMLDOMNode> node_;
};

class MsXmlDocument : public XmlDocument {
public:
    MsXmlDocument() : shared_(std::make_shared<Shared>()) {}

    std::unique_ptr<XmlElement> Create(const std::string& rootName,
                                       const std::string& stylesheetData) override {
        ComPtr<IXMLDOMProcessingInstruction> declaration, stylesheet;
        ComPtr<IXMLDOMElement> root;
        ComPtr<IXMLDOMNode> added, rootNode, inserted;
        bool ok = Reset();
        // The writer's line breaks and indentation are text nodes of their own; keep them.
        ok = ok && SUCCEEDED(shared_->doc->put_preserveWhiteSpace(VARIANT_TRUE)) &&
             SUCCEEDED(shared_->doc->createProcessingInstruction(
                 Bstr(L"xml").Get(), Bstr(L"version=\"1.0\" encoding=\"UTF-8\"").Get(),
                 declaration.Put())) &&
             SUCCEEDED(shared_->doc->appendChild(declaration.Get(), added.Put())) &&
             SUCCEEDED(shared_->doc->createElement(Bstr(Widen(rootName)).Get(), root.Put())) &&
             SUCCEEDED(shared_->doc->appendChild(root.Get(), rootNode.Put()));
        if (ok) {
            ComVariant before;
            before.Get().vt = VT_UNKNOWN;
            before.Get().punkVal = rootNode.Get();
            rootNode->AddRef();  // the ComVariant releases it
            ok = SUCCEEDED(shared_->doc->createProcessingInstruction(
                     Bstr(L"xml-stylesheet").Get(), Bstr(Widen(stylesheetData)).Get(),
                     stylesheet.Put())) &&
                 SUCCEEDED(
                     shared_->doc->insertBefore(stylesheet.Get(), before.Get(), inserted.Put()));
        }
        if (!ok) shared_->buildFailed = true;
        return std::make_unique<MsXmlElement>(shared_, rootNode);
    }

    bool Save(const std::string& path) override {
        if (!shared_->doc || shared_->buildFailed) return false;
        ComVariant target;
        target.Get().vt = VT_BSTR;
        target.Get().bstrVal = SysAllocString(Widen(path).c_str());
        return target.Get().bstrVal && SUCCEEDED(shared_->doc->save(target.Get()));
    }

private:
    bool Reset() {
        shared_ = std::make_shared<Shared>();
        HRESULT error = S_OK;
        shared_->doc = win32::NewSafeDocument(error);
        return static_cast<bool>(shared_->doc);
    }

    std::shared_ptr<Shared> shared_;
};

}  // namespace

std::unique_ptr<XmlDocument> MsXmlDocumentFactory::NewDocument() {
    return std::make_unique<MsXmlDocument>();
}

std::optional<std::string> MsXmlDocumentFactory::ReadFileBytes(const std::string& path,
                                                               std::string& why) {
    uint32_t error = 0;
    std::optional<std::string> bytes = win32::ReadWholeFile(path, FILE_SHARE_READ, error);
    if (!bytes) why = win32::FileErrorText(error);
    return bytes;
}

std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory() {
    return std::make_unique<MsXmlDocumentFactory>();
}
