#include "platform/win32/xml/SafeDocument.h"

#include "platform/win32/common/ComStart.h"
#include "platform/win32/xml/MsXmlIds.h"

namespace win32 {

using namespace msxml;

ComPtr<IXMLDOMDocument2> NewSafeDocument(HRESULT& error, bool freeThreaded) {
    ComPtr<IXMLDOMDocument2> doc;
    NeedCom();
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
    ComVariant prohibit;
    prohibit.Get().vt = VT_BOOL;
    prohibit.Get().boolVal = VARIANT_TRUE;
    doc->setProperty(Bstr(L"ProhibitDTD").Get(), prohibit.Get());
    return doc;
}

}  // namespace win32
