// The regedit and Registry.pol readers on any bytes (the first byte picks the reader).

#include <string>

#include "FuzzCheck.h"
#include "fleet/PolFile.h"
#include "fleet/RegFile.h"

namespace {

std::string Shown(const std::vector<fleet::FleetValue>& values) {
    std::string text;
    for (const fleet::FleetValue& v : values) {
        text += std::to_string(static_cast<int>(v.op)) + "|" + v.key + "|" + v.name + "|" +
                std::to_string(v.type) + "|" + std::string(v.data.begin(), v.data.end()) + "\n";
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool pol = data[0] % 2 == 1;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<fleet::FleetValue> values;
    try {
        values = pol ? fleet::ReadPolFile(bytes) : fleet::ReadRegFile(bytes);
    } catch (const fleet::FormatError&) {
        return 0;
    }
    const std::string again = pol ? fleet::WritePolFile(values) : fleet::WriteRegFile(values);
    std::vector<fleet::FleetValue> back;
    try {
        back = pol ? fleet::ReadPolFile(again) : fleet::ReadRegFile(again);
    } catch (const fleet::FormatError& wrong) {
        FUZZ_CHECK(false, std::string("our own file refused: ") + wrong.what() + " in " +
                              fuzzcheck::Shown(again));
    }
    FUZZ_CHECK(Shown(back) == Shown(values), "read back otherwise: " + fuzzcheck::Shown(again));
    return 0;
}
