#include <openssl/evp.h>

#include "platform/Sha256.h"

std::optional<hash::Sha256Digest> hash::Sha256(std::string_view bytes) {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
            1 ||
        length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}
