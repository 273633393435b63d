// Properties of the DWORD value text conversion; it fails only with an ErrorRecord (halves round
// to even on both sides of zero, so a sign in front negates whatever it gives).

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "ui/frmAdvanced.h"

namespace {

std::optional<int32_t> Dword(const std::string& text) {
    try {
        return regRunner::ToDword(text);
    } catch (const ErrorRecord&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> value = Dword(text);
    const std::string shown = fuzzcheck::Shown(text);

    FUZZ_CHECK(Dword(" \t" + text + "\t ") == value, shown + ": blanks around it changed it");
    if (value) {
        FUZZ_CHECK(Dword(std::to_string(*value)) == value, shown + ": its decimal differs");
    }
    if (value && !text.empty() &&
        (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) {
        FUZZ_CHECK(Dword("-" + text) == std::optional<int32_t>(-static_cast<int64_t>(*value)),
                   shown + ": negated it gave another value");
    }
    const std::string digits =
        text.size() > 2 && text[0] == '&' && (text[1] | 0x20) == 'h' ? text.substr(2) : "";
    if (value && !digits.empty() && digits.size() <= 8 &&
        digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        const std::string padded = std::string(8 - digits.size(), '0') + digits;
        const std::vector<uint8_t> bytes = regRunner::HexStringToByteArray(padded);
        const uint32_t pattern =
            static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
        FUZZ_CHECK(static_cast<uint32_t>(*value) == pattern, shown + ": other bits than BINARY");
    }
    const std::optional<double> number = editor::NumberValue(text);
    if (value && number && text.find_first_of("\t&") == std::string::npos) {
        FUZZ_CHECK(std::nearbyint(*number) == *value, shown + ": the editor reads another number");
    }
    return 0;
}
