#pragma once
// SHA-256 of a byte string, as lower-case hexadecimal: what Get-FileHash and sha256sum print.
// None when the platform cannot make the digest.

#include <optional>
#include <string>
#include <string_view>

namespace engine {

std::optional<std::string> Sha256Hex(std::string_view bytes);

}  // namespace engine
