#pragma once
// UTF-8 (the program's text) to UTF-16 (the platform's) and back, exactly. Invalid UTF-8 becomes
// U+FFFD rather than being dropped.

#include <string>

namespace win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, size_t length);

}  // namespace win32
