// Properties of the BINARY value conversion: it fails only with an ErrorRecord.

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool pairs = text.size() % 2 == 0;
    for (char c : text) pairs = pairs && std::isxdigit(static_cast<unsigned char>(c));
    std::vector<uint8_t> bytes;
    try {
        bytes = regRunner::HexStringToByteArray(text);
    } catch (const ErrorRecord&) {
        FUZZ_CHECK(!pairs, fuzzcheck::Shown(text) + " failed");
        return 0;
    }
    FUZZ_CHECK(pairs, fuzzcheck::Shown(text) + " converted");
    std::string printed;
    for (uint8_t byte : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        printed += pair;
    }
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    FUZZ_CHECK(printed == lower, fuzzcheck::Shown(text) + " gave " + fuzzcheck::Shown(printed));
    return 0;
}
