#include "platform/win32/common/SystemError.h"

#include <windows.h>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

std::string SystemErrorText(uint32_t code) {
    LocalMemory<wchar_t*> text;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(text.Put()), 0, nullptr);
    std::string result =
        length != 0 && text.Get() != nullptr ? Narrow(text.Get(), length) : std::string();
    TrimMessageEnd(result);
    return result;
}

void TrimMessageEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
}

}  // namespace win32
