#include "platform/win32/common/WideText.h"

#include <windows.h>

namespace win32 {
namespace {

std::optional<std::wstring> Convert(const char* utf8, size_t length, DWORD flags) {
    if (length == 0) return std::wstring();
    const int size = static_cast<int>(length);
    const int needed = MultiByteToWideChar(CP_UTF8, flags, utf8, size, nullptr, 0);
    if (needed <= 0) return std::nullopt;
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, utf8, size, result.data(), needed);
    return result;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    return Convert(utf8.data(), utf8.size(), 0).value_or(std::wstring());
}

std::optional<std::wstring> WidenExactly(const char* utf8, size_t length) {
    return Convert(utf8, length, MB_ERR_INVALID_CHARS);
}

std::string Narrow(const wchar_t* utf16, size_t length) {
    if (length == 0) return {};
    const int size = static_cast<int>(length);
    const int needed = WideCharToMultiByte(CP_UTF8, 0, utf16, size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), utf16.size()); }

}  // namespace win32
