#pragma once
// A broken property ends the run the way a crash does, so that libFuzzer keeps the input and the
// replay build fails on it.

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition, what)                                                \
    do {                                                                           \
        if (!(condition)) fuzzcheck::Fail(__FILE__, __LINE__, #condition, (what)); \
    } while (false)

namespace fuzzcheck {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& what) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n  %s\n", file, line, condition, what.c_str());
    std::abort();
}

// The text with everything outside printable ASCII shown as \xNN, for the failure message.
inline std::string Shown(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string shown = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 0xF];
        }
    }
    return shown + "\"";
}

}  // namespace fuzzcheck
