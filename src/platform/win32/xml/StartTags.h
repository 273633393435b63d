#pragma once
// Where elements start, for parsers whose own positions follow another rule: the n-th start tag
// in the bytes is the n-th element the parser reports (text holds no "<", and comments,
// instructions and CDATA sections are passed over).

#include <string_view>

#include "platform/XmlEvents.h"

namespace win32 {

// Finds start tags in the bytes, in order, in the file's code units.
class StartTags {
public:
    StartTags(std::string_view bytes, const XmlPositionCounter& units)
        : bytes_(bytes), units_(units), step_(units.UnitSize()) {}

    // The offset of the next start tag's "<".
    size_t Next() {
        while (at_ + step_ <= bytes_.size()) {
            const size_t open = Find("<", at_);
            if (open == bytes_.npos) break;
            at_ = open + step_;
            if (At(at_, '/')) continue;  // an end tag
            if (At(at_, '?')) {
                at_ = Past("?>", at_);
            } else if (Starts(at_, "!--")) {
                at_ = Past("-->", at_);
            } else if (Starts(at_, "![CDATA[")) {
                at_ = Past("]]>", at_);
            } else {
                return open;
            }
        }
        return bytes_.size();
    }

    // The offset of the first "&" outside comments, CDATA sections and instructions that starts
    // no reference ("&name;", "&#digits;", "&#xhex;"); the size of the bytes when there is none.
    // Asked of a StartTags of its own.
    size_t StrayAmpersand() {
        if (step_ == 1 && bytes_.find('&') == bytes_.npos) return bytes_.size();
        for (; at_ + step_ <= bytes_.size(); at_ += step_) {
            if (At(at_, '<')) {
                if (At(at_ + step_, '?')) {
                    at_ = Past("?>", at_) - step_;
                } else if (Starts(at_ + step_, "!--")) {
                    at_ = Past("-->", at_) - step_;
                } else if (Starts(at_ + step_, "![CDATA[")) {
                    at_ = Past("]]>", at_) - step_;
                }
            } else if (At(at_, '&') && !Reference(at_ + step_)) {
                return at_;
            }
        }
        return bytes_.size();
    }

private:
    bool Reference(size_t at) const {
        size_t count = 0;
        if (At(at, '#')) at += step_;
        for (; at + step_ <= bytes_.size(); at += step_, ++count) {
            const uint32_t c = units_.Unit(at);
            if (c == ';') return count > 0;
            const bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' ||
                              c == ':' || c >= 0x80;
            if (!name) return false;
        }
        return false;
    }

    bool At(size_t offset, char c) const {
        return offset + step_ <= bytes_.size() && units_.Unit(offset) == static_cast<uint32_t>(c);
    }
    bool Starts(size_t offset, std::string_view text) const {
        for (char c : text) {
            if (!At(offset, c)) return false;
            offset += step_;
        }
        return true;
    }
    size_t Find(std::string_view text, size_t from) const {
        if (step_ == 1) return bytes_.find(text, from);
        for (size_t i = from; i + step_ <= bytes_.size(); i += step_) {
            if (Starts(i, text)) return i;
        }
        return bytes_.npos;
    }
    size_t Past(std::string_view end, size_t from) const {
        const size_t found = Find(end, from);
        return found == bytes_.npos ? bytes_.size() : found + end.size() * step_;
    }

    std::string_view bytes_;
    const XmlPositionCounter& units_;
    size_t step_;
    size_t at_ = 0;
};

}  // namespace win32
