#include "catalogue/OptimizationItem.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kColumnBits = 10;
constexpr uint32_t kMostColumns = (1u << kColumnBits) - 1;
constexpr uint32_t kMostLines = (1u << (16 - kColumnBits)) - 1;

}  // namespace

FieldPosition::FieldPosition(XmlPosition field, XmlPosition record) {
    if (field.line == 0 || record.line == 0 || field.line < record.line) return;
    const uint32_t lines = field.line - record.line;
    if (lines == 0 && field.column <= record.column) return;
    const uint32_t column = lines == 0 ? field.column - record.column : field.column;
    if (lines > kMostLines || column == 0 || column > kMostColumns) return;
    packed_ = static_cast<uint16_t>(lines << kColumnBits | column);
}

XmlPosition FieldPosition::Or(XmlPosition record) const {
    if (packed_ == 0) return record;
    const uint32_t lines = packed_ >> kColumnBits;
    const uint32_t column = packed_ & kMostColumns;
    return {record.line + lines, lines == 0 ? record.column + column : column};
}

void VersionList::push_back(int32_t code) {
    const uint8_t byte = static_cast<uint8_t>(code >= 0 && code < kNoVersion ? code : kNoVersion);
    if (std::vector<uint8_t>* block = Block()) {
        block->push_back(byte);
        return;
    }
    uint8_t& count = held_.bytes[kInPlace];
    if (count < kInPlace) {
        held_.bytes[count++] = byte;
        return;
    }
    auto* block = new std::vector<uint8_t>(held_.bytes, held_.bytes + count);
    block->push_back(byte);
    std::memcpy(held_.bytes, &block, sizeof block);
    count = kInBlock;
}

bool VersionList::operator==(const VersionList& other) const {
    return size() == other.size() && std::equal(begin(), end(), other.begin());
}
static_assert(sizeof(VersionList) == 16, "a version list takes a pointer and a count");
