#pragma once
// The registry's value types in one table: the type number the registry and a Registry.pol
// record hold, the REG_ name reports show, the catalogue's KeyType that writes it, and the form a
// regedit file gives its data. Every reader, writer and report takes its names from here.

#include <cstdint>
#include <optional>
#include <string>

namespace codes {

struct ValueType {
    uint32_t number;      // as the registry and Registry.pol hold it
    const char* regName;  // "REG_DWORD"
    int32_t keyType;      // the catalogue's KeyType code, -1 when none writes it
    const char* keyName;  // the KeyType name, "" when none
    const char* regForm;  // a regedit file's data prefix: "dword:", "hex(2):"; "\"" for quoted text
};

// The catalogue's key-type codes.
inline constexpr int32_t kKeyTypeDword = 0;
inline constexpr int32_t kKeyTypeString = 1;
inline constexpr int32_t kKeyTypeBinary = 2;
inline constexpr int32_t kKeyTypeQword = 3;
inline constexpr int32_t kKeyTypeExpandString = 4;
inline constexpr int32_t kKeyTypeMultiString = 5;

inline constexpr uint32_t kRegQword = 11;

// The entry of a type number, or none for a number without a name.
const ValueType* TypeByNumber(uint32_t number);
// The entry a KeyType code writes, or none.
const ValueType* TypeByKeyType(int32_t keyType);
// The KeyType code of a name (letter case ignored), or none.
std::optional<int32_t> KeyTypeByName(const std::string& name);
// "REG_QWORD" for 11, "type 4711" for a number without a name.
std::string TypeNameOf(uint32_t number);
// The KeyType names, in code order, for messages: "DWORD, STRING, ... or MULTISTRING".
std::string KeyTypeNameList();

}  // namespace codes
