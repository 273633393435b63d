#pragma once
// Turns a fuzzer's bytes into the small decisions and texts a target needs. Every call is
// defined for every input: once the bytes run out, it gives zeros and empty texts.

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }

    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    // A number in [0, limit), from as many bytes as the limit needs.
    uint32_t Below(uint32_t limit) {
        if (limit <= 1) return 0;
        uint32_t value = 0;
        for (uint32_t range = 1; range < limit && range != 0; range <<= 8) {
            value = (value << 8) | Byte();
        }
        return value % limit;
    }

    // Up to maxLength bytes as they come, the length announced by one byte first.
    std::string Bytes(size_t maxLength) {
        size_t length = Byte();
        if (length > maxLength) length = maxLength;
        std::string text;
        while (text.size() < length && !Empty()) text += static_cast<char>(Byte());
        return text;
    }

    // Whatever is left.
    std::string Rest() {
        std::string text(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
        pos_ = size_;
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
