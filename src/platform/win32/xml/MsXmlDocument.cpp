#include "platform/win32/xml/MsXmlDocument.h"

#include <windows.h>
#include <msxml2.h>

#include <limits>
#include <memory>

#include "platform/win32/common/WideText.h"
#include "platform/win32/common/ComPtr.h"

namespace {

using win32::Bstr;
using win32::ComPtr;
using win32::Narrow;
using win32::Variant;
using win32::Widen;

// MinGW's headers declare this interface without its identifier.
constexpr IID kIidDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// What the elements of one document share: the document, to create nodes, and whether any
// building step has failed, which Save then reports.
struct Shared {
    ComPtr<IXMLDOMDocument2> doc;
    bool buildFailed = false;
};

// The next sibling of a node, or empty after the last. Walking siblings costs one call a node,
// where a child list costs a list object per element and a lookup by index per child.
ComPtr<IXMLDOMNode> NextSibling(const ComPtr<IXMLDOMNode>& node) {
    ComPtr<IXMLDOMNode> next;
    if (FAILED(node->get_nextSibling(next.Put()))) next.Reset();
    return next;
}

void CollectText(IXMLDOMNode* node, std::wstring& out) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.Put()))) return;
    for (; child; child = NextSibling(child)) {
        DOMNodeType type = NODE_INVALID;
        if (FAILED(child->get_nodeType(&type))) continue;
        if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
            Variant value;
            if (SUCCEEDED(child->get_nodeValue(value.Put())) && value.Get().vt == VT_BSTR &&
                value.Get().bstrVal) {
                out.append(value.Get().bstrVal, SysStringLen(value.Get().bstrVal));
            }
        } else if (type == NODE_ELEMENT || type == NODE_ENTITY_REFERENCE) {
            CollectText(child.Get(), out);
        }
    }
}

class MsXmlElement : public XmlElement {
public:
    MsXmlElement(std::shared_ptr<Shared> shared, ComPtr<IXMLDOMNode> node)
        : shared_(std::move(shared)), node_(std::move(node)) {}

    std::string Name() const override {
        Bstr name;
        if (!node_ || FAILED(node_->get_nodeName(name.Put()))) return std::string();
        return Narrow(name.Text());
    }

    std::string Text() const override {
        std::wstring text;
        if (node_) CollectText(node_.Get(), text);
        return Narrow(text);
    }

    std::vector<std::unique_ptr<XmlElement>> ChildElements() const override {
        std::vector<std::unique_ptr<XmlElement>> elements;
        ComPtr<IXMLDOMNode> child;
        if (!node_ || FAILED(node_->get_firstChild(child.Put()))) return elements;
        for (; child; child = NextSibling(child)) {
            DOMNodeType type = NODE_INVALID;
            if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) {
                elements.push_back(std::make_unique<MsXmlElement>(shared_, child));
            }
        }
        return elements;
    }

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

    bool Parse(const std::string& bytes) override {
        if (!Reset() || bytes.size() > std::numeric_limits<ULONG>::max()) return false;
        // The bytes go in as they are, so MSXML finds the encoding from the mark or declaration.
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (!array) return false;
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SafeArrayDestroy(array);
            return false;
        }
        if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
        Variant source;
        source.Get().vt = VT_ARRAY | VT_UI1;
        source.Get().parray = array;  // the Variant owns it now
        VARIANT_BOOL loaded = VARIANT_FALSE;
        return SUCCEEDED(shared_->doc->load(source.Get(), &loaded)) && loaded == VARIANT_TRUE;
    }

    std::unique_ptr<XmlElement> Root() override {
        ComPtr<IXMLDOMElement> root;
        if (!shared_->doc || FAILED(shared_->doc->get_documentElement(root.Put())) || !root) {
            return nullptr;
        }
        return std::make_unique<MsXmlElement>(shared_, ComPtr<IXMLDOMNode>(root));
    }

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
            Variant before;
            before.Get().vt = VT_UNKNOWN;
            before.Get().punkVal = rootNode.Get();
            rootNode->AddRef();  // the Variant releases it
            ok = SUCCEEDED(shared_->doc->createProcessingInstruction(
                     Bstr(L"xml-stylesheet").Get(), Bstr(Widen(stylesheetData)).Get(),
                     stylesheet.Put())) &&
                 SUCCEEDED(shared_->doc->insertBefore(stylesheet.Get(), before.Get(),
                                                      inserted.Put()));
        }
        if (!ok) shared_->buildFailed = true;
        return std::make_unique<MsXmlElement>(shared_, rootNode);
    }

    bool Save(const std::string& path) override {
        if (!shared_->doc || shared_->buildFailed) return false;
        Variant target;
        target.Get().vt = VT_BSTR;
        target.Get().bstrVal = SysAllocString(Widen(path).c_str());
        return target.Get().bstrVal && SUCCEEDED(shared_->doc->save(target.Get()));
    }

private:
    // A fresh document object with the settings the catalogue needs; false when MSXML is not
    // there (or COM was not initialised on this thread).
    bool Reset() {
        shared_ = std::make_shared<Shared>();
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                                    reinterpret_cast<void**>(shared_->doc.Put())))) {
            shared_->doc.Reset();
            return false;
        }
        IXMLDOMDocument2* doc = shared_->doc.Get();
        doc->put_async(VARIANT_FALSE);
        doc->put_validateOnParse(VARIANT_FALSE);
        doc->put_resolveExternals(VARIANT_FALSE);
        doc->put_preserveWhiteSpace(VARIANT_FALSE);
        Variant prohibit;
        prohibit.Get().vt = VT_BOOL;
        prohibit.Get().boolVal = VARIANT_TRUE;
        doc->setProperty(Bstr(L"ProhibitDTD").Get(), prohibit.Get());
        return true;
    }

    std::shared_ptr<Shared> shared_;
};

}  // namespace

std::unique_ptr<XmlDocument> MsXmlDocumentFactory::NewDocument() {
    return std::make_unique<MsXmlDocument>();
}

std::optional<std::string> MsXmlDocumentFactory::ReadFileBytes(const std::string& path) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::unique_ptr<void, decltype(&CloseHandle)> closer(file, &CloseHandle);
    std::string bytes;
    char buffer[64 * 1024];
    while (true) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) return std::nullopt;
        if (read == 0) return bytes;
        bytes.append(buffer, read);
    }
}

std::unique_ptr<XmlDocumentFactory> NewXmlDocumentFactory() {
    return std::make_unique<MsXmlDocumentFactory>();
}
