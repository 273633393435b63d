#pragma once
// The system's own words for an error code.

#include <cstdint>
#include <string>

namespace win32 {

// FormatMessageW's text for a Windows error code or HRESULT, without its final line break;
// empty when the system has none.
std::string SystemErrorText(uint32_t code);

// Removes the line breaks and blanks that system messages end with.
void TrimMessageEnd(std::string& text);

}  // namespace win32
