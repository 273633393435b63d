#include "fleet/PolFile.h"

#include <algorithm>

#include "platform/Registry.h"
#include "platform/Utf8.h"

namespace fleet {
namespace {

constexpr uint32_t kSignature = 0x67655250;  // "PReg"
constexpr uint32_t kVersion = 1;

void PutUnit(std::string& out, char16_t c) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
}

void PutNumber(std::string& out, uint32_t number) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((number >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, const std::string& text) {
    const std::vector<uint8_t> wide = Utf16Z(text);
    out.append(wide.begin(), wide.end());
}

// The file's bytes from left to right; every fault names its offset.
class PolReader {
public:
    explicit PolReader(const std::string& bytes) : bytes_(bytes) {}

    std::vector<FleetValue> Read() {
        std::vector<FleetValue> records;
        if (bytes_.empty()) return records;
        if (Number() != kSignature) Fail(0, "no Registry.pol file: it does not start with PReg");
        if (Number() != kVersion) Fail(4, "Registry.pol version other than 1");
        while (at_ < bytes_.size()) records.push_back(Record());
        return records;
    }

private:
    [[noreturn]] void Fail(size_t at, const std::string& what) const {
        throw FormatError(at, what);
    }
    uint32_t Number() {
        if (bytes_.size() - at_ < 4) Fail(at_, "the file ends inside a record");
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<uint8_t>(bytes_[at_ + i]);
        at_ += 4;
        return number;
    }
    char16_t Unit() {
        if (bytes_.size() - at_ < 2) Fail(at_, "the file ends inside a record");
        const auto unit = static_cast<char16_t>(static_cast<uint8_t>(bytes_[at_]) |
                                                static_cast<uint8_t>(bytes_[at_ + 1]) << 8);
        at_ += 2;
        return unit;
    }
    void Expect(char16_t c, const char* what) {
        const size_t at = at_;
        if (Unit() != c) Fail(at, std::string("expected ") + what);
    }
    std::string Text() {
        std::vector<uint8_t> wide;
        for (char16_t c = Unit(); c != 0; c = Unit()) {
            if (c == u']' || c == u'[') Fail(at_ - 2, "a bracket inside a key or value name");
            wide.insert(wide.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
        }
        return utf8::FromUtf16Bytes(wide);
    }

    FleetValue Record() {
        FleetValue record;
        record.at = at_;
        Expect(u'[', "[ at the start of a record");
        record.key = Text();
        Expect(u';', "; after the key");
        record.name = Text();
        Expect(u';', "; after the value name");
        record.type = Number();
        Expect(u';', "; after the type");
        const size_t sizeAt = at_;
        const uint32_t size = Number();
        Expect(u';', "; after the size");
        if (size > bytes_.size() - at_) Fail(sizeAt, "the data's size runs past the file's end");
        record.data.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                           bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
        at_ += size;
        Expect(u']', "] at the end of the record");
        return record;
    }

    const std::string& bytes_;
    size_t at_ = 0;
};

bool SameValue(const FleetValue& a, const FleetValue& b) {
    return SameName(a.key, b.key) && SameName(PolValueName(a), PolValueName(b));
}

}  // namespace

std::string PolValueName(const FleetValue& record) {
    if (record.op == FleetValue::Op::DeleteValue) return record.name;
    const size_t prefix = std::char_traits<char>::length(kDeletePrefix);
    if (record.name.size() >= prefix && SameName(record.name.substr(0, prefix), kDeletePrefix)) {
        return record.name.substr(prefix);
    }
    return record.name;
}

std::string WritePolFile(const std::vector<FleetValue>& records) {
    std::string out;
    PutNumber(out, kSignature);
    PutNumber(out, kVersion);
    for (const FleetValue& record : records) {
        const bool deletes = record.op == FleetValue::Op::DeleteValue;
        // A delete holds a blank as its text, as the policy editor writes it.
        const std::vector<uint8_t> data = deletes ? Utf16Z(" ") : record.data;
        PutUnit(out, u'[');
        PutText(out, record.key);
        PutUnit(out, u';');
        PutText(out, deletes ? kDeletePrefix + record.name : record.name);
        PutUnit(out, u';');
        PutNumber(out, deletes ? reg::kSz : record.type);
        PutUnit(out, u';');
        PutNumber(out, static_cast<uint32_t>(data.size()));
        PutUnit(out, u';');
        out.append(data.begin(), data.end());
        PutUnit(out, u']');
    }
    return out;
}

std::vector<FleetValue> ReadPolFile(const std::string& bytes) { return PolReader(bytes).Read(); }

std::vector<FleetValue> MergePol(const std::vector<FleetValue>& theirs,
                                 const std::vector<FleetValue>& ours, bool remove) {
    std::vector<FleetValue> merged;
    for (const FleetValue& record : theirs) {
        const bool replaced = std::any_of(ours.begin(), ours.end(), [&](const FleetValue& mine) {
            return SameValue(record, mine);
        });
        if (!replaced) merged.push_back(record);
    }
    if (!remove) merged.insert(merged.end(), ours.begin(), ours.end());
    return merged;
}

}  // namespace fleet
