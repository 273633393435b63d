#pragma once
// UTF-8 (the program's text) to UTF-16 (the platform's) and back, exactly.

#include <optional>
#include <string>

namespace win32 {

// Invalid UTF-8 becomes U+FFFD rather than being dropped.
std::wstring Widen(const std::string& utf8);
// Every byte counted, embedded NULs included; nothing when the bytes are not valid UTF-8.
std::optional<std::wstring> WidenExactly(const char* utf8, size_t length);
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, size_t length);

}  // namespace win32
