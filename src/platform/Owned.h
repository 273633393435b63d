#pragma once
// One owner for every kind of handle: the kind says which values mean "none" and how a handle is
// let go, and the holder lets go of what it holds when it goes. A kind may carry what letting go
// needs, such as the registry interface a key was opened through.

#include <utility>

template <class Kind>
class Owned {
public:
    using Type = typename Kind::Type;

    Owned() = default;
    explicit Owned(Kind kind) : kind_(std::move(kind)) {}
    explicit Owned(Type handle, Kind kind = {}) : kind_(std::move(kind)), h_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : kind_(other.kind_), h_(std::exchange(other.h_, Type{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset();
            kind_ = other.kind_;
            h_ = std::exchange(other.h_, Type{});
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Type Get() const { return h_; }
    bool Valid() const { return kind_.Valid(h_); }
    // For out parameters: whatever was held is let go first.
    Type* Put() {
        Reset();
        return &h_;
    }
    void Reset() {
        const Type held = std::exchange(h_, Type{});
        if (kind_.Valid(held)) kind_.Close(held);
    }

private:
    Kind kind_{};
    Type h_{};
};
