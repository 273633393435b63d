// The report page that the editor's Export and the console program make with MSXML.

#include "platform/win32/report/Win32ReportRenderer.h"

#include <windows.h>
#include <msxml2.h>

#include <string>

#include "OrvikVersion.h"
#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/xml/MsXmlIds.h"
#include "platform/win32/xml/SafeDocument.h"

namespace win32 {
namespace {

using namespace msxml;

std::string ErrorWords(uint32_t code) {
    const std::string text = SystemErrorText(code);
    return text.empty() ? "Error " + std::to_string(code) + "." : text;
}

// Why a COM call failed: the object's own description when it left one, else the system's.
std::string ComFailure(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    Bstr text;
    if (GetErrorInfo(0, info.Put()) == S_OK && info &&
        SUCCEEDED(info->GetDescription(text.Put()))) {
        std::string words = Narrow(text.Text());
        TrimMessageEnd(words);
        if (!words.empty()) return words;
    }
    return ErrorWords(static_cast<uint32_t>(hr));
}

void SetFlag(IXMLDOMDocument2* doc, const wchar_t* property, bool value) {
    ComVariant flag;
    flag.Get().vt = VT_BOOL;
    flag.Get().boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    doc->setProperty(Bstr(property).Get(), flag.Get());
}

// An MSXML 6 document loaded from a file with nothing resolved from outside it. A stylesheet may
// neither load other documents nor run script; it keeps its white space, which the transform
// strips itself except where xsl:text asks for it, and is free-threaded, the only kind a
// template compiles. Empty, with the reason, when the file cannot be read or is no well-formed
// XML.
ComPtr<IXMLDOMDocument2> LoadDocument(const std::string& path, bool stylesheet,
                                      std::string& reason) {
    {
        // The system's words for a file that cannot be opened; MSXML's are vaguer.
        UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            reason = ErrorWords(GetLastError());
            return {};
        }
    }
    HRESULT made = S_OK;
    ComPtr<IXMLDOMDocument2> doc = NewSafeDocument(made, stylesheet);
    if (!doc) {
        reason = "MSXML 6 cannot be used. " + ErrorWords(static_cast<uint32_t>(made));
        return {};
    }
    if (stylesheet) {
        doc->put_preserveWhiteSpace(VARIANT_TRUE);
        SetFlag(doc.Get(), L"AllowDocumentFunction", false);
        SetFlag(doc.Get(), L"AllowXsltScript", false);
    }
    ComVariant source;
    source.Get().vt = VT_BSTR;
    source.Get().bstrVal = SysAllocString(Widen(path).c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(doc->load(source.Get(), &loaded)) || loaded != VARIANT_TRUE) {
        ComPtr<IXMLDOMParseError> error;
        long line = 0, column = 0;
        Bstr text;
        if (SUCCEEDED(doc->get_parseError(error.Put())) && error) {
            error->get_line(&line);
            error->get_linepos(&column);
            error->get_reason(text.Put());
        }
        std::string words = Narrow(text.Text());
        TrimMessageEnd(words);
        reason = "It is not well-formed XML";
        if (line > 0) {
            reason += " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
        }
        reason += words.empty() ? "." : ": " + words;
        return {};
    }
    return doc;
}

std::string StreamBytes(IStream* stream) {
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    if (FAILED(GetHGlobalFromStream(stream, &memory)) ||
        FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return {};
    }
    const void* data = GlobalLock(memory);
    if (!data) return {};
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return bytes;
}

// The catalogue through the stylesheet, with this program's version as the parameter "version".
}  // namespace

RenderedReport RenderReport(const std::string& cataloguePath, const std::string& stylesheetPath) {
    RenderedReport report;
    auto fail = [&](const std::string& file, const std::string& reason) {
        report.failedFile = file;
        report.reason = reason;
        return report;
    };
    std::string reason;
    const auto catalogue = LoadDocument(cataloguePath, false, reason);
    if (!catalogue) return fail(cataloguePath, reason);
    const auto stylesheet = LoadDocument(stylesheetPath, true, reason);
    if (!stylesheet) return fail(stylesheetPath, reason);

    ComPtr<IXSLTemplate> xslt;
    ComPtr<IXSLProcessor> processor;
    ComPtr<IStream> page;
    win32::NeedCom();
    HRESULT hr = CoCreateInstance(kClsidXslTemplate60, nullptr, CLSCTX_INPROC_SERVER,
                                  kIidXslTemplate, reinterpret_cast<void**>(xslt.Put()));
    if (SUCCEEDED(hr)) hr = xslt->putref_stylesheet(stylesheet.Get());
    if (SUCCEEDED(hr)) hr = xslt->createProcessor(processor.Put());
    ComVariant input, version, output;
    input.Get().vt = VT_UNKNOWN;
    input.Get().punkVal = catalogue.Get();
    catalogue->AddRef();  // the ComVariant releases it
    if (SUCCEEDED(hr)) hr = processor->put_input(input.Get());
    version.Get().vt = VT_BSTR;
    version.Get().bstrVal = SysAllocString(Widen(ORVIK_VERSION).c_str());
    if (SUCCEEDED(hr)) hr = processor->addParameter(Bstr(L"version").Get(), version.Get(), nullptr);
    // Into a stream the page comes in the encoding its xsl:output names; as a string, in UTF-16
    // with a meta element saying so.
    if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, page.Put());
    if (SUCCEEDED(hr)) {
        output.Get().vt = VT_UNKNOWN;
        output.Get().punkVal = page.Get();
        page->AddRef();
        hr = processor->put_output(output.Get());
    }
    VARIANT_BOOL done = VARIANT_FALSE;
    if (SUCCEEDED(hr)) hr = processor->transform(&done);
    if (FAILED(hr)) return fail(stylesheetPath, ComFailure(hr));
    report.html = StreamBytes(page.Get());
    // Not every MSXML reports a stylesheet it cannot compile; it then makes no page.
    if (report.html.empty()) {
        return fail(stylesheetPath, "It made no page: it is no report stylesheet.");
    }
    return report;
}

namespace {

class Win32ReportRenderer final : public ReportRenderer {
public:
    RenderedReport RenderReport(const std::string& cataloguePath,
                                const std::string& stylesheetPath) override {
        return win32::RenderReport(cataloguePath, stylesheetPath);
    }
};

}  // namespace

std::unique_ptr<ReportRenderer> CreateReportRenderer() {
    return std::make_unique<Win32ReportRenderer>();
}

}  // namespace win32
