#pragma once
// The XML parser the catalogue reader stands on, as events in document order: an element starts
// (with where it stands), its attributes, text, an element ends, an error (with where the parser
// stopped). Text is UTF-8. Comments, processing instructions and namespace declarations make no
// events; CDATA sections and references come as text. Every side gives positions by the one rule
// of XmlPosition.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// A place in a file. Lines count from 1 and end at a line feed, a carriage return with a line
// feed after it (one end), or a carriage return alone: the line ends XML knows. Columns count
// from 1 in characters (Unicode code points, whatever the file's encoding; a tab is one) from
// the start of the line. A byte-order mark is no character. 0 and 0: not known.
struct XmlPosition {
    uint32_t line = 0;
    uint32_t column = 0;
    bool operator==(const XmlPosition&) const = default;
};

class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    // at: the position of the "<" that opens the start tag.
    virtual void StartElement(std::string_view name, XmlPosition at) = 0;
    // One attribute of the element just started, right after its StartElement, its value with
    // references replaced. The catalogue has none; the policy definitions are made of them.
    virtual void Attribute(std::string_view /*name*/, std::string_view /*value*/) {}
    // Whether the element just started or the text now coming matters at all: a parser that has
    // to convert them may spare itself that for what a reader passes over.
    virtual bool WantsAttributes() { return true; }
    virtual bool WantsText() { return true; }
    // Character data, in as many pieces as the parser likes.
    virtual void Text(std::string_view text) = 0;
    virtual void EndElement() = 0;
    // The file is not well-formed (or holds what the parser refuses); no events follow.
    virtual void Error(std::string_view reason, XmlPosition at) = 0;
};

// Positions of the characters of a whole file given as its bytes: UTF-16 when it starts with
// its byte-order mark, UTF-8 otherwise. Offsets asked for may only grow, so that one pass over
// the file serves all of them.
class XmlPositionCounter {
public:
    explicit XmlPositionCounter(std::string_view bytes) : bytes_(bytes) {
        const auto byte = [&](size_t i) {
            return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
        };
        if (byte(0) == 0xFF && byte(1) == 0xFE) {
            unit_ = 2, low_ = 0, start_ = 2;
        } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
            unit_ = 2, low_ = 1, start_ = 2;
        } else if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
            start_ = 3;
        }
        offset_ = start_;
    }

    size_t UnitSize() const { return unit_; }
    // The bytes of the byte-order mark the file starts with; 0 without one.
    size_t MarkSize() const { return start_; }
    // The code unit at offset (a byte, or a UTF-16 unit in the file's byte order).
    uint32_t Unit(size_t offset) const {
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes_[i]); };
        if (unit_ == 1) return byte(offset);
        return byte(offset + low_) | (byte(offset + 1 - low_) << 8u);
    }

    XmlPosition At(size_t offset) {
        if (offset > bytes_.size()) offset = bytes_.size();
        if (unit_ == 1) {
            CountBytes(offset);
        } else {
            CountUnits(offset);
        }
        return {line_, characters_ + 1};
    }

private:
    // UTF-8, the usual case: line ends found with memchr, characters counted on the last line.
    void CountBytes(size_t end) {
        if (end <= offset_) return;
        const char* const data = bytes_.data();
        size_t lineStart = std::string_view::npos;  // after the last line end before end
        for (const char lineEnd : {'\r', '\n'}) {
            for (const char* p = data + offset_;
                 (p = static_cast<const char*>(std::memchr(p, lineEnd, end - (p - data)))); ++p) {
                const size_t at = static_cast<size_t>(p - data);
                const char before = at == offset_ ? static_cast<char>(previous_) : data[at - 1];
                if (lineEnd == '\r' || before != '\r') ++line_;  // CR LF is one line end
                if (lineStart == std::string_view::npos || at + 1 > lineStart) lineStart = at + 1;
            }
        }
        if (lineStart != std::string_view::npos) characters_ = 0;
        for (size_t i = lineStart == std::string_view::npos ? offset_ : lineStart; i < end; ++i) {
            characters_ += (static_cast<unsigned char>(data[i]) & 0xC0u) != 0x80u;  // no tail
        }
        previous_ = static_cast<unsigned char>(data[end - 1]);
        offset_ = end;
    }

    // UTF-16: unit by unit; a low surrogate starts no character.
    void CountUnits(size_t end) {
        for (; offset_ + unit_ <= end; offset_ += unit_) {
            const uint32_t c = Unit(offset_);
            if (c == '\n' || c == '\r') {
                if (c == '\r' || previous_ != '\r') ++line_;  // CR LF is one line end
                characters_ = 0;
            } else if (c < 0xDC00 || c > 0xDFFF) {
                ++characters_;
            }
            previous_ = c;
        }
    }

    std::string_view bytes_;
    size_t unit_ = 1;
    size_t low_ = 0;  // which byte of a UTF-16 unit is its low one
    size_t start_ = 0;
    size_t offset_ = 0;  // counted up to here
    uint32_t line_ = 1;
    uint32_t characters_ = 0;  // on this line before offset_
    uint32_t previous_ = 0;
};
