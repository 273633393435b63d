// The Windows XML events: MSXML 6's SAX2 reader over the file's bytes, handed over from memory.
//
// Positions: MSXML's locator tells where an event ends, the first character after it, not where
// it starts; Wine's differs again (measured: it gives the start tag's ">" itself, counts the
// column in UTF-8 bytes, and takes a carriage return alone for no line end). So element
// positions are not taken from it: the n-th start tag in the bytes is the n-th element the
// parser reports (text holds no "<", and comments, instructions and CDATA sections are passed
// over), and its "<" is counted by the rule every side shares. An error's position is the
// locator's own, as the parser gives it.

#include <windows.h>
#include <msxml2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/win32/common/ComPtr.h"
#include "platform/win32/common/ComStart.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"
#include "platform/win32/xml/BytesStream.h"
#include "platform/win32/xml/MsXmlDocument.h"
#include "platform/win32/xml/MsXmlIds.h"
#include "platform/win32/xml/StartTags.h"

namespace {

using win32::BytesStream;
using win32::ComPtr;
using win32::StartTags;

using namespace win32::msxml;

std::string ErrorText(HRESULT code) {
    std::string text = win32::SystemErrorText(static_cast<uint32_t>(code));
    if (!text.empty()) return text;
    char number[32];
    std::snprintf(number, sizeof number, "error 0x%08lX", static_cast<unsigned long>(code));
    return number;
}

class SaxParse final : public ISAXContentHandler, public ISAXErrorHandler {
public:
    SaxParse(const std::string& bytes, XmlEvents& events)
        : bytes_(bytes), events_(events), positions_(bytes), tags_(bytes, positions_) {}

    // cached: the reader of an earlier parse, or empty; kept for the next one when this one
    // went well.
    bool Run(ComPtr<IUnknown>& cached) {
        ComPtr<ISAXXMLReader> reader = cached.As<ISAXXMLReader>(kIidSaxReader);
        cached.Reset();
        if (!reader) reader = NewReader();
        reader->putContentHandler(this);
        reader->putErrorHandler(this);
        BytesStream stream(bytes_);
        VARIANT input;
        VariantInit(&input);
        input.vt = VT_UNKNOWN;
        input.punkVal = &stream;
        const HRESULT hr = reader->parse(input);
        reader->putContentHandler(nullptr);
        reader->putErrorHandler(nullptr);
        if (failure_) std::rethrow_exception(failure_);
        if (FAILED(hr) && !failed_) {
            failed_ = true;
            events_.Error(ErrorText(hr), {});
        }
        if (!failed_) cached = reader;
        return !failed_;
    }

    static ComPtr<ISAXXMLReader> NewReader() {
        ComPtr<ISAXXMLReader> reader;
        win32::NeedCom();
        const HRESULT made =
            CoCreateInstance(kClsidSaxReader60, nullptr, CLSCTX_INPROC_SERVER, kIidSaxReader,
                             reinterpret_cast<void**>(reader.Put()));
        if (FAILED(made) || !reader) {
            throw std::runtime_error("MSXML 6 cannot be used: " +
                                     ErrorText(FAILED(made) ? made : E_POINTER));
        }
        reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
        reader->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
        reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities",
                           VARIANT_FALSE);
        return reader;
    }

    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == kIidContentHandler) {
            *object = static_cast<ISAXContentHandler*>(this);
        } else if (iid == kIidErrorHandler) {
            *object = static_cast<ISAXErrorHandler*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    // Lives on the stack of ReadEvents, which takes the handlers back before it returns.
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* name,
                                int nameLength, ISAXAttributes* attributes) override {
        return Guarded([&] {
            const XmlPosition at = positions_.At(tags_.Next());
            events_.StartElement(Narrowed(name, nameLength), at);
            int count = 0;
            if (!attributes || !events_.WantsAttributes()) return;
            if (FAILED(attributes->getLength(&count))) count = 0;
            for (int i = 0; i < count; ++i) {
                const wchar_t* text = nullptr;
                int length = 0;
                if (FAILED(attributes->getQName(i, &text, &length))) continue;
                attributeName_.assign(Narrowed(text, length));
                if (FAILED(attributes->getValue(i, &text, &length))) continue;
                events_.Attribute(attributeName_, Narrowed(text, length));
            }
        });
    }
    HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                              int) override {
        return Guarded([&] { events_.EndElement(); });
    }
    HRESULT WINAPI characters(const wchar_t* text, int length) override {
        return Guarded([&] {
            if (events_.WantsText()) events_.Text(Narrowed(text, length));
        });
    }

    HRESULT WINAPI fatalError(ISAXLocator* locator, const wchar_t* message, HRESULT code) override {
        return Failed(locator, message, code);
    }
    HRESULT WINAPI error(ISAXLocator* locator, const wchar_t* message, HRESULT code) override {
        return Failed(locator, message, code);
    }
    HRESULT WINAPI ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }

    HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT WINAPI startDocument() override { return S_OK; }
    HRESULT WINAPI endDocument() override { return S_OK; }
    HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override {
        return S_OK;
    }
    HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override {
        return S_OK;
    }
    HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }

private:
    // MSXML's UTF-16 as UTF-8, in the one buffer every event uses again: half a million events
    // for a large catalogue, nearly all of them ASCII, which goes over a character at a time.
    std::string_view Narrowed(const wchar_t* text, int length) {
        const size_t count = length > 0 ? static_cast<size_t>(length) : 0;
        narrowed_.clear();
        size_t i = 0;
        for (; i < count && text[i] < 0x80; ++i) narrowed_ += static_cast<char>(text[i]);
        if (i < count) narrowed_ += win32::Narrow(text + i, count - i);
        return narrowed_;
    }

    // Handlers catch everything: nothing may unwind through MSXML's frames. A failure stops
    // the parse and is thrown again once MSXML has returned.
    template <typename Step>
    HRESULT Guarded(Step step) {
        if (failed_) return E_FAIL;
        try {
            step();
            return S_OK;
        } catch (...) {
            failure_ = std::current_exception();
            failed_ = true;
            return E_FAIL;
        }
    }

    // Every error stops the parse: a catalogue MSXML finds fault with is not read.
    HRESULT Failed(ISAXLocator* locator, const wchar_t* message, HRESULT code) {
        if (failed_) return E_FAIL;
        int line = 0;
        int column = 0;
        if (locator) {
            locator->getLineNumber(&line);
            locator->getColumnNumber(&column);
        }
        std::string reason = message ? win32::Narrow(message, wcslen(message)) : std::string();
        win32::TrimMessageEnd(reason);
        if (reason.empty()) reason = ErrorText(code);
        const HRESULT stop = Guarded([&] {
            events_.Error(reason, {static_cast<uint32_t>(line > 0 ? line : 0),
                                   static_cast<uint32_t>(column > 0 ? column : 0)});
        });
        failed_ = true;
        return stop == S_OK ? E_FAIL : stop;
    }

    const std::string& bytes_;
    XmlEvents& events_;
    XmlPositionCounter positions_;
    StartTags tags_;
    std::string narrowed_;
    std::string attributeName_;
    std::exception_ptr failure_;
    bool failed_ = false;
};

}  // namespace

bool MsXmlDocumentFactory::ReadEvents(const std::string& bytes, XmlEvents& events) {
    if (xmlLite_ && win32::XmlLiteReader::Takes(bytes)) return xmlLite_->ReadEvents(bytes, events);
    SaxParse parse(bytes, events);
    return parse.Run(saxReader_);
}
