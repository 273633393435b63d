#pragma once
// The bytes of a file as the stream both Windows parsers read.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/XmlEvents.h"

namespace win32 {

inline bool IsBlank(uint32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The bytes as a stream, read in pieces so that the parser holds no copy of the whole file. UTF-16
// goes to the parser little-endian, the one order Wine's XmlLite takes; a file in UTF-16 that calls
// its encoding "unicode" (as some of Microsoft's own policy definitions do) is given as declaring
// UTF-16, the name padded so that positions stay.
class BytesStream final : public ISequentialStream {
public:
    explicit BytesStream(std::string_view bytes) : bytes_(bytes) { RenameUnicode(); }

    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_ISequentialStream) {
            *object = static_cast<ISequentialStream*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of the parse that uses it.
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI Read(void* buffer, ULONG size, ULONG* read) override {
        const size_t count = std::min<size_t>(size, bytes_.size() - at_);
        auto* out = static_cast<char*>(buffer);
        for (size_t i = 0; i < count; ++i, ++at_) {
            const size_t from = swap_ && (at_ ^ 1u) < bytes_.size() ? at_ ^ 1u : at_;
            out[i] = at_ >= patchAt_ && at_ - patchAt_ < patch_.size() ? patch_[at_ - patchAt_]
                                                                       : bytes_[from];
        }
        if (read) *read = static_cast<ULONG>(count);
        return count < size ? S_FALSE : S_OK;
    }
    HRESULT WINAPI Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    void RenameUnicode() {
        XmlPositionCounter units(bytes_);
        if (units.UnitSize() != 2) return;
        swap_ = static_cast<unsigned char>(bytes_[0]) == 0xFE;
        // The declaration's few ASCII characters, one per UTF-16 unit.
        std::string head;
        for (size_t i = units.MarkSize(); i + 2 <= bytes_.size() && head.size() < 200; i += 2) {
            const uint32_t c = units.Unit(i);
            if (c >= 0x80) break;
            head += static_cast<char>(c);
            if (head.size() >= 2 && head.compare(head.size() - 2, 2, "?>") == 0) break;
        }
        if (head.rfind("<?xml", 0) != 0 || head.size() < 6 || !IsBlank(head[5])) return;
        size_t at = head.find("encoding");
        if (at == std::string::npos) return;
        at += 8;
        while (at < head.size() && (IsBlank(head[at]) || head[at] == '=')) ++at;
        if (at >= head.size() || (head[at] != '"' && head[at] != '\'')) return;
        const std::string_view name = std::string_view(head).substr(at + 1, 8);
        if (name.size() < 8 || name[7] != head[at] || _strnicmp(name.data(), "unicode", 7) != 0) {
            return;
        }
        const std::string renamed = std::string("UTF-16") + head[at] + ' ';
        for (char c : renamed) patch_ += {c, '\0'};
        patchAt_ = units.MarkSize() + (at + 1) * 2;
    }

    std::string_view bytes_;
    std::string patch_;  // replaces the bytes from patchAt_
    size_t patchAt_ = 0;
    size_t at_ = 0;
    bool swap_ = false;  // big-endian: each pair of bytes goes out turned round
};

}  // namespace win32
