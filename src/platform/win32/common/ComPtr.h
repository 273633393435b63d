#pragma once
// Owning holders for COM interface pointers, BSTRs and VARIANTs: each releases what it holds.

#include <oleauto.h>
#include <unknwn.h>

#include <cstddef>
#include <string>
#include <utility>

namespace win32 {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    // The same object under an interface it derives from.
    template <class U>
    ComPtr(const ComPtr<U>& other) : p_(other.Get()) {
        if (p_) p_->AddRef();
    }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: whatever was held is released first.
    T** Put() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // Another interface of the same object; empty when the object does not have it.
    template <class U>
    ComPtr<U> As(REFIID iid) const {
        ComPtr<U> other;
        if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(other.Put()));
        return other;
    }

private:
    T* p_ = nullptr;
};

// The objects a call hands back in an array (IEnumWbemClassObject::Next): each one held is
// released when the array is filled again and when the batch goes.
template <class T, size_t N>
class ComBatch {
public:
    ComBatch() = default;
    ~ComBatch() { Reset(); }
    ComBatch(const ComBatch&) = delete;
    ComBatch& operator=(const ComBatch&) = delete;

    static constexpr size_t Size() { return N; }
    T** Put() {
        Reset();
        return items_;
    }
    void Reset() {
        for (T*& item : items_) {
            if (item) std::exchange(item, nullptr)->Release();
        }
    }

private:
    T* items_[N] = {};
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return b_; }
    BSTR* Put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    std::wstring Text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

class ComVariant {
public:
    ComVariant() { VariantInit(&v_); }
    ~ComVariant() { VariantClear(&v_); }
    ComVariant(const ComVariant&) = delete;
    ComVariant& operator=(const ComVariant&) = delete;

    VARIANT& Get() { return v_; }
    VARIANT* Put() {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace win32
