#pragma once
// The one place that makes an MSXML 6 document object: every document of the program (the
// catalogue's writer, the report's transform) starts from here with the safe settings.

#include <windows.h>
#include <msxml2.h>

#include "platform/win32/common/ComPtr.h"

namespace win32 {

// A new MSXML 6 DOM document that loads synchronously and takes nothing from outside the file it
// loads: document types prohibited, nothing external resolved, no validation. Empty when MSXML 6
// cannot be had (or COM was not initialised on this thread); error then says why. freeThreaded:
// the kind of document that an XSL template compiles as its stylesheet.
ComPtr<IXMLDOMDocument2> NewSafeDocument(HRESULT& error, bool freeThreaded = false);

}  // namespace win32
