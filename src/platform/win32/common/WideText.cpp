#include "platform/win32/common/WideText.h"

#include <windows.h>

namespace win32 {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(), needed);
    return result;
}

std::string Narrow(const wchar_t* utf16, size_t length) {
    if (length == 0) return {};
    const int size = static_cast<int>(length);
    const int needed = WideCharToMultiByte(CP_UTF8, 0, utf16, size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), utf16.size()); }

}  // namespace win32
