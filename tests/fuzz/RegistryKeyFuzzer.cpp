// ParseClassKey and ParseSectionKey against the plain rule: the first piece before a backslash
// names the root (compared after upper-casing ASCII letters), and every later piece comes back
// followed by one backslash, so that the root piece, a backslash and the section give the key
// with one backslash more at its end. An empty key has no root and fails with an ErrorRecord.

#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "engine/regRunner.h"
#include "env/ErrorRecord.h"
#include "platform/Registry.h"

namespace {

int32_t ExpectedRoot(const std::string& firstPiece) {
    std::string upper = firstPiece;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    if (upper == "HKEY_LOCAL_MACHINE") return reg::kLocalMachine;
    if (upper == "HKEY_CLASSES_ROOT") return reg::kClassesRoot;
    if (upper == "HKEY_CURRENT_USER") return reg::kCurrentUser;
    if (upper == "HKEY_USERS") return reg::kUsers;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string key(reinterpret_cast<const char*>(data), size);

    std::optional<int32_t> root;
    try {
        root = regRunner::ParseClassKey(key);
    } catch (const ErrorRecord&) {
    }
    std::optional<std::string> section;
    try {
        section = regRunner::ParseSectionKey(key);
    } catch (const ErrorRecord&) {
    }

    if (key.empty()) {
        FUZZ_CHECK(!root.has_value(), "an empty key named a root");
        FUZZ_CHECK(!section || section->empty(), "an empty key gave a section");
        return 0;
    }
    FUZZ_CHECK(root.has_value(), fuzzcheck::Shown(key) + ": no root piece");
    FUZZ_CHECK(section.has_value(), fuzzcheck::Shown(key) + ": no section");

    const size_t slash = key.find('\\');
    const std::string firstPiece = key.substr(0, slash);
    FUZZ_CHECK(*root == ExpectedRoot(firstPiece), fuzzcheck::Shown(key) + ": wrong root");
    if (slash == std::string::npos) {
        FUZZ_CHECK(section->empty(), fuzzcheck::Shown(key) + ": a root alone gave a section");
    } else {
        FUZZ_CHECK(firstPiece + "\\" + *section == key + "\\",
                   fuzzcheck::Shown(key) + " gave section " + fuzzcheck::Shown(*section));
    }
    return 0;
}
