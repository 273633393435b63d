#include "registry/Variant.h"

std::string VariantToText(const Variant& v) {
    struct {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(int16_t i) const { return std::to_string(i); }
        std::string operator()(int32_t i) const { return std::to_string(i); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const std::vector<uint8_t>& b) const {
            return std::string(b.begin(), b.end());
        }
    } convert;
    return std::visit(convert, v);
}
