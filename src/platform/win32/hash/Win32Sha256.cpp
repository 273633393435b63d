#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "platform/Sha256.h"
#include "platform/win32/common/Handle.h"

namespace {

struct HashAlgorithm {
    using Type = BCRYPT_ALG_HANDLE;
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { BCryptCloseAlgorithmProvider(h, 0); }
};

struct HashState {
    using Type = BCRYPT_HASH_HANDLE;
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { BCryptDestroyHash(h); }
};

}  // namespace

std::optional<hash::Sha256Digest> hash::Sha256(std::string_view bytes) {
    Owned<HashAlgorithm> algorithm;
    Owned<HashState> state;
    // No object buffer: the provider keeps the hash state itself (Windows 7 and later).
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            BCryptCreateHash(algorithm.Get(), state.Put(), nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    // A call takes a 32-bit length; larger inputs go in pieces.
    constexpr size_t kPiece = size_t{1} << 30;
    for (size_t done = 0; done < bytes.size(); done += kPiece) {
        const size_t length = std::min(kPiece, bytes.size() - done);
        // The data is only read, though the parameter is not const.
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done));
        if (!BCRYPT_SUCCESS(BCryptHashData(state.Get(), data, static_cast<ULONG>(length), 0))) {
            return std::nullopt;
        }
    }
    Sha256Digest digest{};
    if (!BCRYPT_SUCCESS(
            BCryptFinishHash(state.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}
