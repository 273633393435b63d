#include "catalogue/ValueTypes.h"

#include <array>

#include "catalogue/Codes.h"

namespace codes {
namespace {

constexpr std::array<ValueType, 12> kTypes{{
    {0, "REG_NONE", -1, "", "hex(0):"},
    {1, "REG_SZ", kKeyTypeString, "STRING", "\""},
    {2, "REG_EXPAND_SZ", kKeyTypeExpandString, "EXPANDSTRING", "hex(2):"},
    {3, "REG_BINARY", kKeyTypeBinary, "BINARY", "hex:"},
    {4, "REG_DWORD", kKeyTypeDword, "DWORD", "dword:"},
    {5, "REG_DWORD_BIG_ENDIAN", -1, "", "hex(5):"},
    {6, "REG_LINK", -1, "", "hex(6):"},
    {7, "REG_MULTI_SZ", kKeyTypeMultiString, "MULTISTRING", "hex(7):"},
    {8, "REG_RESOURCE_LIST", -1, "", "hex(8):"},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR", -1, "", "hex(9):"},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST", -1, "", "hex(a):"},
    {kRegQword, "REG_QWORD", kKeyTypeQword, "QWORD", "hex(b):"},
}};

}  // namespace

const ValueType* TypeByNumber(uint32_t number) {
    return number < kTypes.size() ? &kTypes[number] : nullptr;
}

const ValueType* TypeByKeyType(int32_t keyType) {
    for (const ValueType& type : kTypes) {
        if (type.keyType == keyType && keyType >= 0) return &type;
    }
    return nullptr;
}

std::optional<int32_t> KeyTypeByName(const std::string& name) {
    const std::string upper = UpperAscii(name);
    for (const ValueType& type : kTypes) {
        if (type.keyType >= 0 && upper == type.keyName) return type.keyType;
    }
    return std::nullopt;
}

std::string TypeNameOf(uint32_t number) {
    if (const ValueType* type = TypeByNumber(number)) return type->regName;
    return "type " + std::to_string(number);
}

std::string KeyTypeNameList() {
    std::string list;
    for (int32_t code = 0; const ValueType* type = TypeByKeyType(code); ++code) {
        if (!list.empty()) list += TypeByKeyType(code + 1) ? ", " : " or ";
        list += type->keyName;
    }
    return list;
}

}  // namespace codes
