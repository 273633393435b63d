#pragma once
// SHA-256 by the platform's own library: CNG (bcrypt.dll) on Windows, libcrypto natively.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace hash {

using Sha256Digest = std::array<uint8_t, 32>;

// The digest of the bytes; none when the platform's library refuses to make one.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

}  // namespace hash
