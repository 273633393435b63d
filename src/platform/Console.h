#pragma once
// The console program's standard output and standard error. Text is UTF-8; a console shows its
// characters, a pipe or file receives it as UTF-8.

#include <cstdint>
#include <string>

class Console {
public:
    virtual ~Console() = default;
    // 0, or the Windows error code when standard output refuses the text (a full disk, a closed
    // pipe).
    virtual uint32_t Out(const std::string& text) = 0;
    virtual void Err(const std::string& text) = 0;
    // Bytes that a pipe or file gets exactly as they are; a console shows them as UTF-8 text.
    virtual uint32_t OutBytes(const std::string& bytes) = 0;
};
