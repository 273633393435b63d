// XmlLite's nodes as the catalogue's events. Element positions come from the bytes, as for MSXML
// (StartTags.h); an error's position is the reader's own. XmlLite reports an empty element
// without an end node, and white space outside the root as nodes of their own: both are evened
// out here so that the events match the other parsers'.

#include "platform/win32/xml/XmlLiteEvents.h"

#include <windows.h>
#include <xmllite.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/security/LibrarySearch.h"
#include "platform/win32/xml/BytesStream.h"
#include "platform/win32/xml/StartTags.h"

namespace win32 {
namespace {

// MinGW's header declares the id without defining it.
constexpr IID kIidXmlReader = {
    0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

// XmlLite's error codes, as the HRESULTs they are.
constexpr HRESULT Code(XmlError error) {
    return static_cast<HRESULT>(static_cast<uint32_t>(error));
}

// What XmlLite found wrong, for the few faults a hand-edited catalogue has; other codes in the
// system's words or as the number.
std::string ErrorText(HRESULT code) {
    switch (static_cast<uint32_t>(code)) {
        case WC_E_ELEMENTMATCH: return "end tag does not match start tag";
        case WC_E_DTDPROHIBITED: return "document type definition prohibited";
        case WC_E_UNDECLAREDENTITY: return "reference to undeclared entity";
        case WC_E_SEMICOLON: return "expected ';'";
        case WC_E_GREATERTHAN: return "expected '>'";
        case WC_E_NAME: return "a name was expected";
        case WC_E_XMLCHARACTER: return "invalid character";
        case WC_E_ROOTELEMENT: return "missing or more than one root element";
        case NC_E_UNDECLAREDPREFIX: return "undeclared namespace prefix";
        case MX_E_INPUTEND: return "unexpected end of input";
        case MX_E_ENCODING: return "unknown or unsupported encoding";
        default: break;
    }
    std::string text = SystemErrorText(static_cast<uint32_t>(code));
    if (!text.empty()) return text;
    char number[48];
    std::snprintf(number, sizeof number, "not well-formed XML (error 0x%08lX)",
                  static_cast<unsigned long>(code));
    return number;
}

class PullParse {
public:
    PullParse(const std::string& bytes, XmlEvents& events)
        : events_(events), positions_(bytes), tags_(bytes, positions_) {}

    // False with an error event when XmlLite stops on a fault.
    bool Run(IXmlReader& reader) {
        XmlNodeType type = XmlNodeType_None;
        HRESULT hr = S_OK;
        while ((hr = reader.Read(&type)) == S_OK) {
            if (type == XmlNodeType_Element) {
                hr = Element(reader);
            } else if (type == XmlNodeType_EndElement) {
                --depth_;
                EndScope();
                events_.EndElement();
            } else if (type == XmlNodeType_Text && Stuck(reader)) {
                hr = Code(MX_E_INPUTEND);
            } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA ||
                       (type == XmlNodeType_Whitespace && depth_ > 0)) {
                if (events_.WantsText()) hr = Value(reader, [&](auto v) { events_.Text(v); });
            }
            if (type != XmlNodeType_Text) lastText_ = {};
            if (FAILED(hr)) break;
        }
        if (!FAILED(hr)) return true;
        UINT line = 0;
        UINT column = 0;
        reader.GetLineNumber(&line);
        reader.GetLinePosition(&column);
        events_.Error(ErrorText(hr), {line, column});
        return false;
    }

private:
    // Wine's XmlLite gives the last text of a file cut short again and again, where it stands:
    // the file ends there.
    bool Stuck(IXmlReader& reader) {
        UINT line = 0;
        UINT column = 0;
        reader.GetLineNumber(&line);
        reader.GetLinePosition(&column);
        const XmlPosition at{line, column};
        const bool again = at == lastText_;
        lastText_ = at;
        return again;
    }

    HRESULT Element(IXmlReader& reader) {
        const wchar_t* name = nullptr;
        UINT length = 0;
        HRESULT hr = reader.GetQualifiedName(&name, &length);
        if (FAILED(hr)) return hr;
        const std::wstring_view qualified(name, length);
        const bool empty = reader.IsEmptyElement();
        events_.StartElement(Narrowed(name, length), positions_.At(tags_.Next()));
        ++depth_;
        hr = Attributes(reader, qualified);
        if (!FAILED(hr) && empty) {
            --depth_;
            EndScope();
            events_.EndElement();
        }
        return hr;
    }

    // The prefixes declared on an element (xmlns:p) and the ones its name and attributes use,
    // kept here: Wine's XmlLite neither splits names nor refuses a prefix nobody declared.
    HRESULT Attributes(IXmlReader& reader, std::wstring_view elementName) {
        scopes_.push_back(declared_.size());
        used_.clear();
        UsePrefix(elementName);
        for (HRESULT at = reader.MoveToFirstAttribute(); at == S_OK;
             at = reader.MoveToNextAttribute()) {
            const wchar_t* name = nullptr;
            UINT length = 0;
            if (FAILED(reader.GetQualifiedName(&name, &length))) continue;
            // Namespace declarations make no events.
            const std::wstring_view qualified(name, length);
            if (qualified.rfind(L"xmlns:", 0) == 0) declared_.emplace_back(qualified.substr(6));
            if (qualified == L"xmlns" || qualified.rfind(L"xmlns:", 0) == 0) continue;
            UsePrefix(qualified);
            if (!events_.WantsAttributes()) continue;
            attributeName_.assign(Narrowed(name, length));
            const HRESULT hr =
                Value(reader, [&](auto value) { events_.Attribute(attributeName_, value); });
            if (FAILED(hr)) return hr;
        }
        for (const std::wstring& prefix : used_) {
            if (prefix != L"xml" &&
                std::find(declared_.begin(), declared_.end(), prefix) == declared_.end()) {
                return Code(NC_E_UNDECLAREDPREFIX);
            }
        }
        return reader.MoveToElement();
    }
    void UsePrefix(std::wstring_view name) {
        const size_t colon = name.find(L':');
        if (colon != name.npos) used_.emplace_back(name.substr(0, colon));
    }
    void EndScope() {
        declared_.resize(scopes_.back());
        scopes_.pop_back();
    }

    template <typename Take>
    HRESULT Value(IXmlReader& reader, Take take) {
        const wchar_t* value = nullptr;
        UINT length = 0;
        const HRESULT hr = reader.GetValue(&value, &length);
        if (!FAILED(hr)) take(Narrowed(value, length));
        return hr;
    }

    // UTF-16 as UTF-8 in the one buffer every event uses again; ASCII a character at a time.
    std::string_view Narrowed(const wchar_t* text, UINT length) {
        narrowed_.clear();
        size_t i = 0;
        for (; i < length && text[i] < 0x80; ++i) narrowed_ += static_cast<char>(text[i]);
        if (i < length) narrowed_ += Narrow(text + i, length - i);
        return narrowed_;
    }

    XmlEvents& events_;
    XmlPositionCounter positions_;
    StartTags tags_;
    std::string narrowed_;
    std::string attributeName_;
    std::vector<std::wstring> declared_;  // the prefixes in scope, innermost last
    std::vector<size_t> scopes_;          // how many were declared outside each open element
    std::vector<std::wstring> used_;      // by the element being started
    int depth_ = 0;
    XmlPosition lastText_;  // of the text node just read; 0 and 0 after any other node
};

}  // namespace

bool XmlLiteReader::Takes(const std::string& bytes) {
    // Code units. In UTF-8 Wine's XmlLite crashed on start tags holding references from about
    // 9,500 characters (where the tag lies decides), never below 9,000. In UTF-16 tags of 300
    // characters crashed or misread across the end of its first read, so there a reference in
    // any start tag sends the file to MSXML.
    constexpr size_t kLongTag = 8000;
    const XmlPositionCounter units(bytes);
    const size_t step = units.UnitSize();
    const size_t end = bytes.size() - bytes.size() % step;
    const auto unit = [&](size_t i) { return i + step <= end ? units.Unit(i) : 0u; };
    size_t tagStart = std::string::npos;  // of the start tag the scan is in
    for (size_t i = units.MarkSize(); i < end; i += step) {
        if (step == 1 && tagStart == std::string::npos) {  // UTF-8: straight to the next mark-up
            // A plain loop: find_first_of calls memchr once for every byte it passes.
            while (i < end && bytes[i] != '<' && bytes[i] != '&') ++i;
            if (i == end) break;
        }
        const uint32_t c = unit(i);
        if (c == '<') tagStart = unit(i + step) == '/' ? std::string::npos : i;
        if (c == '>') tagStart = std::string::npos;
        if (c != '&') continue;
        if (tagStart != std::string::npos && (step > 1 || i - tagStart > kLongTag)) return false;
        if (unit(i + step) != '#') continue;
        const bool hex = unit(i + 2 * step) == 'x';
        uint32_t value = 0;
        for (size_t j = i + (hex ? 3 : 2) * step; value <= 0xFFFF; j += step) {
            const uint32_t d = unit(j);
            const int digit = d >= '0' && d <= '9'   ? int(d - '0')
                              : !hex                 ? -1
                              : d >= 'a' && d <= 'f' ? int(d - 'a' + 10)
                              : d >= 'A' && d <= 'F' ? int(d - 'A' + 10)
                                                     : -1;
            if (digit < 0) break;
            value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (value > 0xFFFF) return false;
    }
    return true;
}

std::unique_ptr<XmlLiteReader> XmlLiteReader::Load() {
    // CreateXmlReader: XmlLite's one entry the reader needs (Vista, XP SP3, Server 2003 SP2).
    void* module = LoadSystemLibrary(L"xmllite.dll");
    if (module == nullptr) return nullptr;
    const auto create = reinterpret_cast<CreateReaderFn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), "CreateXmlReader")));
    if (create == nullptr) {
        FreeLibrary(static_cast<HMODULE>(module));
        return nullptr;
    }
    return std::unique_ptr<XmlLiteReader>(new XmlLiteReader(module, create));
}

XmlLiteReader::~XmlLiteReader() { FreeLibrary(static_cast<HMODULE>(module_)); }

bool XmlLiteReader::ReadEvents(const std::string& bytes, XmlEvents& events) {
    BytesStream stream(bytes);  // outlives the reader, which holds it
    ComPtr<IXmlReader> reader;
    HRESULT hr = create_(&kIidXmlReader, reinterpret_cast<void**>(reader.Put()), nullptr);
    // Document types are refused (XmlLite's default, said again) and nothing is resolved.
    if (SUCCEEDED(hr) && reader) {
        hr = reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    }
    if (SUCCEEDED(hr)) hr = reader->SetProperty(XmlReaderProperty_XmlResolver, 0);
    if (SUCCEEDED(hr)) hr = reader->SetInput(&stream);
    if (FAILED(hr) || !reader) {
        throw std::runtime_error("XmlLite cannot be used: " +
                                 ErrorText(FAILED(hr) ? hr : E_POINTER));
    }
    // Wine's XmlLite takes a bare "&" as text; the others refuse it, and so does this reader.
    XmlPositionCounter units(bytes);
    const size_t stray = StartTags(bytes, units).StrayAmpersand();
    if (stray < bytes.size()) {
        events.Error(ErrorText(Code(WC_E_SEMICOLON)), XmlPositionCounter(bytes).At(stray));
        return false;
    }
    PullParse parse(bytes, events);
    return parse.Run(*reader.Get());
}

}  // namespace win32
