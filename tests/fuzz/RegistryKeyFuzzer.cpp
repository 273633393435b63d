// Properties of splitting a registry action's Key into its root and section.

#include <cctype>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "platform/Registry.h"

namespace {

std::optional<int32_t> Root(const std::string& key) {
    try {
        return regRunner::ParseClassKey(key);
    } catch (const ErrorRecord&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string key(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> root = Root(key);
    const std::string section = regRunner::ParseSectionKey(key);
    FUZZ_CHECK(root.has_value() == !key.empty(), fuzzcheck::Shown(key) + ": root or not");
    if (key.empty()) return 0;

    const size_t slash = key.find('\\');
    const std::string first = key.substr(0, slash);
    FUZZ_CHECK(slash == std::string::npos ? section.empty() : first + "\\" + section == key + "\\",
               fuzzcheck::Shown(key) + " gave section " + fuzzcheck::Shown(section));
    std::string upper = first, lower = first;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    FUZZ_CHECK(
        Root(first + "\\") == root && Root(upper + "\\") == root && Root(lower + "\\") == root,
        fuzzcheck::Shown(key) + ": the root depends on more than its first piece's name");
    FUZZ_CHECK(*root == 0 || *root == reg::kLocalMachine || *root == reg::kClassesRoot ||
                   *root == reg::kCurrentUser || *root == reg::kUsers,
               fuzzcheck::Shown(key) + ": no root");
    return 0;
}
