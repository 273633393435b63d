#pragma once
// One owner for every kind of handle the platform hands out: the kind says which values mean
// "none" and how a handle is let go, and the holder lets go of what it holds when it goes.

#include <windows.h>

#include <utility>

namespace win32 {

template <class Kind>
class Owned {
public:
    using Type = typename Kind::Type;

    Owned() = default;
    explicit Owned(Type handle) : h_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : h_(std::exchange(other.h_, Type{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            h_ = std::exchange(other.h_, Type{});
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Type Get() const { return h_; }
    bool Valid() const { return Kind::Valid(h_); }
    // For out parameters: whatever was held is let go first.
    Type* Put() {
        Reset();
        return &h_;
    }
    void Reset() {
        const Type held = std::exchange(h_, Type{});
        if (Kind::Valid(held)) Kind::Close(held);
    }

private:
    Type h_{};
};

// Kernel objects. Both null and INVALID_HANDLE_VALUE mean "none", since the platform's calls
// return one or the other on failure.
struct KernelObject {
    using Type = HANDLE;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

// Pens, brushes, fonts and bitmaps.
template <class T>
struct GdiKind {
    using Type = T;
    static bool Valid(T h) { return h != nullptr; }
    static void Close(T h) { DeleteObject(h); }
};

struct RegistryKey {
    using Type = HKEY;
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

using UniqueHandle = Owned<KernelObject>;
template <class T>
using GdiObject = Owned<GdiKind<T>>;
using UniqueKey = Owned<RegistryKey>;

}  // namespace win32
