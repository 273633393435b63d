#pragma once
// The Windows versions an optimization is meant for: version codes (catalogue/Codes.h) in the
// order the file names them, one byte a code. Up to 15 codes are held in place, so that the
// usual list of a few codes takes neither a block of memory nor more room in its record than a
// pointer and a count (a catalogue holds thousands of lists); longer lists go to a block.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

class VersionList {
public:
    // Codes outside 0..254 are held as 255, a code no version has.
    static constexpr int32_t kNoVersion = 255;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = const int32_t*;
        using reference = int32_t;

        const_iterator() = default;
        explicit const_iterator(const uint8_t* at) : at_(at) {}
        int32_t operator*() const { return *at_; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) { return const_iterator(at_++); }
        bool operator==(const const_iterator&) const = default;

    private:
        const uint8_t* at_ = nullptr;
    };
    using iterator = const_iterator;
    using value_type = int32_t;

    VersionList() = default;
    VersionList(std::initializer_list<int32_t> codes) : VersionList(codes.begin(), codes.end()) {}
    VersionList(const std::vector<int32_t>& codes) : VersionList(codes.begin(), codes.end()) {}
    template <typename Iterator>
    VersionList(Iterator first, Iterator last) {
        for (; first != last; ++first) push_back(*first);
    }
    VersionList(const VersionList& other) : VersionList(other.begin(), other.end()) {}
    VersionList(VersionList&& other) noexcept : held_(other.held_) { other.held_ = {}; }
    VersionList& operator=(VersionList other) noexcept {
        std::swap(held_, other.held_);
        return *this;
    }
    ~VersionList() { delete Block(); }

    const_iterator begin() const { return const_iterator(Codes()); }
    const_iterator end() const { return const_iterator(Codes() + size()); }
    size_t size() const { return Block() ? Block()->size() : held_.bytes[kInPlace]; }
    bool empty() const { return size() == 0; }
    int32_t back() const { return Codes()[size() - 1]; }

    void push_back(int32_t code);
    void clear() { *this = VersionList(); }

    bool operator==(const VersionList& other) const;

private:
    static constexpr uint8_t kInBlock = 0xFF;  // the count of a list that has gone to a block
    static constexpr size_t kInPlace = 15;

    std::vector<uint8_t>* Block() const {
        if (held_.bytes[kInPlace] != kInBlock) return nullptr;
        std::vector<uint8_t>* block = nullptr;
        std::memcpy(&block, held_.bytes, sizeof block);
        return block;
    }
    const uint8_t* Codes() const { return Block() ? Block()->data() : held_.bytes; }

    // The codes in place, or the block's address; the count last.
    struct Held {
        alignas(void*) uint8_t bytes[kInPlace + 1] = {};
    };
    Held held_;
};
