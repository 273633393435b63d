#include "bench/win32/MsXmlBaseline.h"

#include <windows.h>
#include <msxml2.h>
#include <xmllite.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "catalogue/Codes.h"
#include "platform/XmlDocument.h"
#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/xml/BytesStream.h"
#include "platform/win32/xml/SafeDocument.h"

namespace bench {
namespace {

using win32::Bstr;
using win32::ComPtr;
using win32::ComVariant;
using win32::Widen;

ComPtr<IXMLDOMDocument2> NewDocument(bool preserveWhiteSpace) {
    HRESULT error = S_OK;
    ComPtr<IXMLDOMDocument2> doc = win32::NewSafeDocument(error);
    if (doc) doc->put_preserveWhiteSpace(preserveWhiteSpace ? VARIANT_TRUE : VARIANT_FALSE);
    return doc;
}

// Builds one level of the writer's layout: every child on a line of its own, indented.
class Builder {
public:
    Builder(IXMLDOMDocument2* doc, ComPtr<IXMLDOMNode> node, int depth, bool& ok)
        : doc_(doc), node_(std::move(node)), depth_(depth), ok_(ok) {}
    ~Builder() { Text(node_.Get(), Indent(depth_)); }
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    Builder Open(const wchar_t* name) { return Builder(doc_, Line(name), depth_ + 1, ok_); }
    void Value(const wchar_t* name, const std::string& text) {
        ComPtr<IXMLDOMNode> element = Line(name);
        Text(element.Get(), Widen(text));
    }

private:
    static std::wstring Indent(int depth) {
        std::wstring text(1, L'\n');
        text.append(static_cast<size_t>(depth) * 2, L' ');
        return text;
    }
    void Text(IXMLDOMNode* parent, const std::wstring& text) {
        ComPtr<IXMLDOMText> node;
        ComPtr<IXMLDOMNode> added;
        if (!parent || FAILED(doc_->createTextNode(Bstr(text).Get(), node.Put())) ||
            FAILED(parent->appendChild(node.Get(), added.Put()))) {
            ok_ = false;
        }
    }
    ComPtr<IXMLDOMNode> Line(const wchar_t* name) {
        Text(node_.Get(), Indent(depth_ + 1));
        ComPtr<IXMLDOMElement> element;
        ComPtr<IXMLDOMNode> added;
        if (!node_ || FAILED(doc_->createElement(Bstr(name).Get(), element.Put())) ||
            FAILED(node_->appendChild(element.Get(), added.Put()))) {
            ok_ = false;
        }
        return added;
    }

    IXMLDOMDocument2* doc_;
    ComPtr<IXMLDOMNode> node_;
    int depth_;
    bool& ok_;
};

void BuildItem(Builder& root, const OptimizationItem& record) {
    Builder item = root.Open(L"Item");
    item.Value(L"Number", record.Number);
    item.Value(L"Name", record.Name);
    item.Value(L"Description", record.Description + "Justification:" + record.Justification);
    std::string versions;
    for (int32_t code : record.osVersions) {
        for (char c : codes::GetOSString(code)) {
            if (c != ' ') versions += c;
        }
        versions += ' ';
    }
    item.Value(L"OSVersion", versions);
    item.Value(L"Enabled", record.Enabled ? "True" : "False");
    item.Value(L"Mode", codes::GetMode(record.mode));
    item.Value(L"Impact", record.Impact);
    item.Value(L"Category", record.Category);
    if (!record.regItems.empty()) {
        Builder list = item.Open(L"RegistryEntries");
        for (const RegistryItem& reg : record.regItems) {
            Builder entry = list.Open(L"RegistryEntry");
            entry.Value(L"Key", reg.Key);
            entry.Value(L"ValueName", reg.ValueName);
            entry.Value(L"KeyType", RegistryItem::GetKeyType(reg.KeyType));
            entry.Value(L"Value", reg.Value);
        }
    }
    if (!record.cmdItems.empty()) {
        Builder list = item.Open(L"CommandLines");
        for (const cmdItem& cmd : record.cmdItems) {
            list.Open(L"CommandLine").Value(L"Command", cmd.Command);
        }
    }
    if (!record.wmiItems.empty()) {
        Builder list = item.Open(L"WMIQueries");
        for (const wmiItem& wmi : record.wmiItems) {
            Builder entry = list.Open(L"WMIQuery");
            entry.Value(L"Command", wmi.Command);
            entry.Value(L"WarningLevel", std::to_string(wmi.WarningLevel));
        }
    }
}

constexpr CLSID kClsidSaxReader60 = {
    0x88d96a0c, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kIidSaxReader = {
    0xa4f96ed0, 0xf829, 0x476e, {0x81, 0xc0, 0xcd, 0xc7, 0xbd, 0x2a, 0x08, 0x02}};

// Handlers that do nothing, over a stream of the bytes: the parser's own work and no more.
class Nothing final : public ISAXContentHandler, public ISAXErrorHandler, public ISequentialStream {
public:
    explicit Nothing(const std::string& bytes) : bytes_(bytes) {}
    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        *object = iid == IID_ISequentialStream ? static_cast<ISequentialStream*>(this) : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI Read(void* buffer, ULONG size, ULONG* read) override {
        const size_t count = std::min<size_t>(size, bytes_.size() - at_);
        if (count != 0) memcpy(buffer, bytes_.data() + at_, count);
        at_ += count;
        *read = static_cast<ULONG>(count);
        return count < size ? S_FALSE : S_OK;
    }
    HRESULT WINAPI Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT WINAPI startDocument() override { return S_OK; }
    HRESULT WINAPI endDocument() override { return S_OK; }
    HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override {
        return S_OK;
    }
    HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int,
                                ISAXAttributes*) override {
        return S_OK;
    }
    HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                              int) override {
        return S_OK;
    }
    HRESULT WINAPI characters(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override {
        return S_OK;
    }
    HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI error(ISAXLocator*, const wchar_t*, HRESULT) override { return E_FAIL; }
    HRESULT WINAPI fatalError(ISAXLocator*, const wchar_t*, HRESULT) override { return E_FAIL; }
    HRESULT WINAPI ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

}  // namespace

bool ParseWithSax(const std::string& path) {
    const std::optional<std::string> bytes = NewXmlDocumentFactory()->ReadFileBytes(path);
    ComPtr<ISAXXMLReader> reader;
    if (!bytes || FAILED(CoCreateInstance(kClsidSaxReader60, nullptr, CLSCTX_INPROC_SERVER,
                                          kIidSaxReader, reinterpret_cast<void**>(reader.Put())))) {
        return false;
    }
    reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    reader->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
    reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
    Nothing nothing(*bytes);
    reader->putContentHandler(&nothing);
    reader->putErrorHandler(&nothing);
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = static_cast<ISequentialStream*>(&nothing);
    const HRESULT hr = reader->parse(input);
    reader->putContentHandler(nullptr);
    reader->putErrorHandler(nullptr);
    return SUCCEEDED(hr);
}

bool ParseWithXmlLite(const std::string& path) {
    using Create = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    static const HMODULE module =
        LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto create = module ? reinterpret_cast<Create>(reinterpret_cast<void*>(
                                     GetProcAddress(module, "CreateXmlReader")))
                               : nullptr;
    const std::optional<std::string> bytes = NewXmlDocumentFactory()->ReadFileBytes(path);
    constexpr IID kIidXmlReader = {
        0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};
    win32::BytesStream stream(bytes ? std::string_view(*bytes) : std::string_view());
    ComPtr<IXmlReader> reader;
    if (!create || !bytes ||
        FAILED(create(kIidXmlReader, reinterpret_cast<void**>(reader.Put()), nullptr)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader->SetInput(&stream))) {
        return false;
    }
    // What SAX's empty handlers are handed: each element's name, each text.
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    const wchar_t* text = nullptr;
    UINT length = 0;
    while ((hr = reader->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) reader->GetQualifiedName(&text, &length);
        if (type == XmlNodeType_Text) reader->GetValue(&text, &length);
    }
    return SUCCEEDED(hr);
}

bool SaveWithMsXml(const OptimizationList& items, const std::string& path) {
    ComPtr<IXMLDOMDocument2> doc = NewDocument(true);
    if (!doc) return false;
    ComPtr<IXMLDOMProcessingInstruction> declaration, stylesheet;
    ComPtr<IXMLDOMElement> root;
    ComPtr<IXMLDOMNode> added, rootNode, inserted;
    bool ok = SUCCEEDED(doc->createProcessingInstruction(
                  Bstr(L"xml").Get(), Bstr(L"version=\"1.0\" encoding=\"UTF-8\"").Get(),
                  declaration.Put())) &&
              SUCCEEDED(doc->appendChild(declaration.Get(), added.Put())) &&
              SUCCEEDED(doc->createElement(Bstr(L"Optimizations").Get(), root.Put())) &&
              SUCCEEDED(doc->appendChild(root.Get(), rootNode.Put()));
    if (!ok) return false;
    ComVariant before;
    before.Get().vt = VT_UNKNOWN;
    before.Get().punkVal = rootNode.Get();
    rootNode->AddRef();  // the ComVariant releases it
    ok = SUCCEEDED(doc->createProcessingInstruction(
             Bstr(L"xml-stylesheet").Get(),
             Bstr(L"type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"").Get(), stylesheet.Put())) &&
         SUCCEEDED(doc->insertBefore(stylesheet.Get(), before.Get(), inserted.Put()));
    {
        Builder builder(doc.Get(), rootNode, 0, ok);
        for (const OptimizationItemPtr& record : items) BuildItem(builder, *record);
    }
    ComVariant target;
    target.Get().vt = VT_BSTR;
    target.Get().bstrVal = SysAllocString(Widen(path).c_str());
    return ok && SUCCEEDED(doc->save(target.Get()));
}

}  // namespace bench
