#pragma once
// A registry value as the files that carry settings from machine to machine hold it: a regedit
// file (.reg) and a Group Policy registry file (Registry.pol). Data is as the registry stores
// it, text types as UTF-16LE with their NULs, so that what is read, written and applied is the
// same bytes.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace fleet {

struct FleetValue {
    enum class Op { Set, DeleteValue, DeleteKey };
    Op op = Op::Set;
    std::string key;   // "HKEY_LOCAL_MACHINE\Software\X" (a Registry.pol's: below its root)
    std::string name;  // empty: the key's default value
    uint32_t type = 0;
    std::vector<uint8_t> data;
    size_t at = 0;  // the line (.reg) or byte offset (Registry.pol) it was read from
};

// What a file cannot say, or what a reader could not take: where, and why.
struct Notice {
    size_t at = 0;
    std::string text;
};

// A file that is not what it claims; at: its line (.reg) or byte offset (Registry.pol).
class FormatError : public std::runtime_error {
public:
    FormatError(size_t at, const std::string& what) : std::runtime_error(what), at(at) {}
    size_t at;
};

// Text as UTF-16LE bytes with a final NUL, as the registry stores a REG_SZ.
std::vector<uint8_t> Utf16Z(const std::string& utf8);

// Whether two key paths or value names are the same to the registry (ASCII letters in any case).
bool SameName(const std::string& a, const std::string& b);

}  // namespace fleet
