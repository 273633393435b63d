#include "bench/win32/MsXmlBaseline.h"

#include <windows.h>
#include <msxml2.h>

#include "catalogue/Codes.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/common/ComPtr.h"
#include "platform/win32/xml/SafeDocument.h"

namespace bench {
namespace {

using win32::Bstr;
using win32::ComPtr;
using win32::Variant;
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
        for (const cmdItem& cmd : record.cmdItems) list.Open(L"CommandLine").Value(L"Command", cmd.Command);
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

}  // namespace

bool LoadWithMsXml(const std::string& path) {
    ComPtr<IXMLDOMDocument2> doc = NewDocument(false);
    if (!doc) return false;
    Variant source;
    source.Get().vt = VT_BSTR;
    source.Get().bstrVal = SysAllocString(Widen(path).c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return SUCCEEDED(doc->load(source.Get(), &loaded)) && loaded == VARIANT_TRUE;
}

bool LoadBytesWithMsXml(const std::string& path) {
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    SAFEARRAY* array = nullptr;
    void* data = nullptr;
    DWORD read = 0;
    const bool got = GetFileSizeEx(file, &size) && size.QuadPart < 0x7fffffff &&
                     (array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size.QuadPart))) &&
                     SUCCEEDED(SafeArrayAccessData(array, &data)) &&
                     ReadFile(file, data, static_cast<DWORD>(size.QuadPart), &read, nullptr) &&
                     read == size.QuadPart;
    CloseHandle(file);
    if (data) SafeArrayUnaccessData(array);
    Variant source;  // owns the array from here on
    source.Get().vt = VT_ARRAY | VT_UI1;
    source.Get().parray = array;
    if (!got) return false;
    ComPtr<IXMLDOMDocument2> doc = NewDocument(false);
    if (!doc) return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return SUCCEEDED(doc->load(source.Get(), &loaded)) && loaded == VARIANT_TRUE;
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
    Variant before;
    before.Get().vt = VT_UNKNOWN;
    before.Get().punkVal = rootNode.Get();
    rootNode->AddRef();  // the Variant releases it
    ok = SUCCEEDED(doc->createProcessingInstruction(
             Bstr(L"xml-stylesheet").Get(),
             Bstr(L"type=\"text/xsl\" href=\"OrvikOptimizations.xsl\"").Get(), stylesheet.Put())) &&
         SUCCEEDED(doc->insertBefore(stylesheet.Get(), before.Get(), inserted.Put()));
    {
        Builder builder(doc.Get(), rootNode, 0, ok);
        for (const OptimizationItemPtr& record : items) BuildItem(builder, *record);
    }
    Variant target;
    target.Get().vt = VT_BSTR;
    target.Get().bstrVal = SysAllocString(Widen(path).c_str());
    return ok && SUCCEEDED(doc->save(target.Get()));
}

}  // namespace bench
