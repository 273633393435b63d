#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "platform/Sha256.h"
#include "platform/win32/common/Handle.h"
#include "platform/win32/security/LibrarySearch.h"

namespace {

// bcrypt.dll is no KnownDLL: imported, it would be looked for beside the program before the
// program could restrict the search. It is loaded from the system folder when first needed.
HMODULE Bcrypt() {
    static const auto library = static_cast<HMODULE>(win32::LoadSystemLibrary(L"bcrypt.dll"));
    return library;
}

struct Cng {
    template <typename Fn>
    static Fn Function(const char* name) {
        const HMODULE library = Bcrypt();
        if (library == nullptr) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    }
    decltype(&BCryptOpenAlgorithmProvider) open =
        Function<decltype(&BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    decltype(&BCryptCloseAlgorithmProvider) close =
        Function<decltype(&BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider");
    decltype(&BCryptGetProperty) property =
        Function<decltype(&BCryptGetProperty)>("BCryptGetProperty");
    decltype(&BCryptCreateHash) create = Function<decltype(&BCryptCreateHash)>("BCryptCreateHash");
    decltype(&BCryptDestroyHash) destroy =
        Function<decltype(&BCryptDestroyHash)>("BCryptDestroyHash");
    decltype(&BCryptHashData) hashData = Function<decltype(&BCryptHashData)>("BCryptHashData");
    decltype(&BCryptFinishHash) finish = Function<decltype(&BCryptFinishHash)>("BCryptFinishHash");
    bool Ready() const {
        return open && close && property && create && destroy && hashData && finish;
    }
};

const Cng& Functions() {
    static const Cng cng;
    return cng;
}

struct HashAlgorithm {
    using Type = BCRYPT_ALG_HANDLE;
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { Functions().close(h, 0); }
};

struct HashState {
    using Type = BCRYPT_HASH_HANDLE;
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { Functions().destroy(h); }
};

}  // namespace

std::optional<hash::Sha256Digest> hash::Sha256(std::string_view bytes) {
    const Cng& cng = Functions();
    if (!cng.Ready()) return std::nullopt;
    Owned<HashAlgorithm> algorithm;
    if (!BCRYPT_SUCCESS(cng.open(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return std::nullopt;
    }
    // The hash state lives in a buffer of ours: only Windows 7 and later make one themselves.
    // It is declared before the state, which is destroyed first.
    DWORD objectLength = 0;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(cng.property(algorithm.Get(), BCRYPT_OBJECT_LENGTH,
                                     reinterpret_cast<PUCHAR>(&objectLength), sizeof(objectLength),
                                     &written, 0)) ||
        objectLength == 0) {
        return std::nullopt;
    }
    std::vector<UCHAR> object(objectLength);
    Owned<HashState> state;
    if (!BCRYPT_SUCCESS(
            cng.create(algorithm.Get(), state.Put(), object.data(), objectLength, nullptr, 0, 0))) {
        return std::nullopt;
    }
    // A call takes a 32-bit length; larger inputs go in pieces.
    constexpr size_t kPiece = size_t{1} << 30;
    for (size_t done = 0; done < bytes.size(); done += kPiece) {
        const size_t length = std::min(kPiece, bytes.size() - done);
        // The data is only read, though the parameter is not const.
        auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done));
        if (!BCRYPT_SUCCESS(cng.hashData(state.Get(), data, static_cast<ULONG>(length), 0))) {
            return std::nullopt;
        }
    }
    Sha256Digest digest{};
    if (!BCRYPT_SUCCESS(
            cng.finish(state.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}
