#include "platform/win32/xml/SafeDocument.h"

namespace win32 {
namespace {

// From Microsoft's list of MSXML 6 GUIDs; MinGW's headers lack them.
constexpr CLSID kClsidDomDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr CLSID kClsidFreeThreadedDomDocument60 = {
    0x88d96a06, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID kIidDomDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

}  // namespace

ComPtr<IXMLDOMDocument2> NewSafeDocument(HRESULT& error, bool freeThreaded) {
    ComPtr<IXMLDOMDocument2> doc;
    error = CoCreateInstance(freeThreaded ? kClsidFreeThreadedDomDocument60 : kClsidDomDocument60,
                             nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                             reinterpret_cast<void**>(doc.Put()));
    if (FAILED(error) || !doc) {
        if (SUCCEEDED(error)) error = E_NOINTERFACE;
        return {};
    }
    doc->put_async(VARIANT_FALSE);
    doc->put_validateOnParse(VARIANT_FALSE);
    doc->put_resolveExternals(VARIANT_FALSE);
    Variant prohibit;
    prohibit.Get().vt = VT_BOOL;
    prohibit.Get().boolVal = VARIANT_TRUE;
    doc->setProperty(Bstr(L"ProhibitDTD").Get(), prohibit.Get());
    return doc;
}

}  // namespace win32
