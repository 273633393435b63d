#pragma once
// SHA-256 of a byte string, as lower-case hexadecimal: what Get-FileHash and sha256sum print.

#include <string>
#include <string_view>

namespace cli {

std::string Sha256Hex(std::string_view bytes);

}  // namespace cli
