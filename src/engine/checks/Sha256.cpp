#include "engine/checks/Sha256.h"

#include "platform/Sha256.h"

namespace engine {

std::optional<std::string> Sha256Hex(std::string_view bytes) {
    const auto digest = hash::Sha256(bytes);
    if (!digest) return std::nullopt;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : *digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

}  // namespace engine
