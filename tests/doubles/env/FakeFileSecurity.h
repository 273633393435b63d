#pragma once
// Security descriptors held by path, written in SDDL as Windows would show them (owner, then the
// access list: "O:BAD:(A;OICI;FA;;;SY)(D;;FW;;;BU)"), and a token that is elevated or not.

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/FileSecurity.h"

namespace sddl {

inline std::string Sid(const std::string& text) {
    static const std::map<std::string, std::string> aliases = {
        {"WD", "S-1-1-0"},  {"BA", "S-1-5-32-544"}, {"SY", "S-1-5-18"}, {"BU", "S-1-5-32-545"},
        {"AU", "S-1-5-11"}, {"CO", "S-1-3-0"},      {"OW", "S-1-3-4"}};
    const auto alias = aliases.find(text);
    return alias == aliases.end() ? text : alias->second;
}

inline uint32_t Rights(const std::string& text) {
    static const std::map<std::string, uint32_t> names = {
        {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},   {"FX", 0x1200A0},
        {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000},
        {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000}};
    if (text.rfind("0x", 0) == 0) return static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    uint32_t mask = 0;
    for (size_t i = 0; i + 1 < text.size(); i += 2) mask |= names.at(text.substr(i, 2));
    return mask;
}

// The subset the tests write: "O:sid", then "D:" with flags, entries "(A|D;flags;rights;;;sid)"
// or "NO_ACCESS_CONTROL" for a null access list. Names are the SIDs.
inline ObjectSecurity Parse(const std::string& text) {
    ObjectSecurity security;
    const size_t dacl = text.find("D:");
    if (text.rfind("O:", 0) == 0) security.ownerSid = Sid(text.substr(2, dacl - 2));
    security.ownerName = security.ownerSid;
    security.nullDacl = text.find("NO_ACCESS_CONTROL") != std::string::npos;
    for (size_t open = text.find('(', dacl); open != std::string::npos;
         open = text.find('(', open + 1)) {
        std::string fields[6];
        size_t start = open + 1;
        for (std::string& field : fields) {
            const size_t end = text.find_first_of(";)", start);
            field = text.substr(start, end - start);
            start = end + 1;
        }
        if (fields[0] != "A" && fields[0] != "D") throw std::invalid_argument(text);
        const std::string sid = Sid(fields[5]);
        security.entries.push_back({sid, sid, Rights(fields[2]), fields[0] == "A",
                                    fields[1].find("IO") != std::string::npos});
    }
    return security;
}

}  // namespace sddl

class FakeFileSecurity final : public FileSecurity {
public:
    bool elevated = false;
    std::set<std::string> administrators = {"S-1-5-18", "S-1-5-32-544"};
    std::map<std::string, ObjectSecurity> objects;
    std::map<std::string, uint32_t> failures;  // Query's error for these paths
    uint32_t makeFailure = 0;
    uint32_t protectFailure = 0;

    // Held by full path, as the system finds a file however it is named.
    void Set(const std::string& path, const std::string& descriptor) {
        objects[FullPath(path)] = sddl::Parse(descriptor);
    }

    bool IsElevated() override { return elevated; }
    uint32_t Query(const std::string& path, ObjectSecurity& security) override {
        if (failures.count(path)) return failures.at(path);
        const auto found = objects.find(FullPath(path));
        if (found == objects.end()) return 2;
        security = found->second;
        return 0;
    }
    bool IsAdministrator(const std::string& sid) override { return administrators.count(sid); }
    uint32_t MakeAdministratorsFolder(const std::string& path) override {
        if (makeFailure != 0) return makeFailure;
        if (objects.count(FullPath(path))) return 183;
        Set(path, "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        return 0;
    }
    uint32_t ProtectFile(const std::string& path) override {
        if (protectFailure != 0) return protectFailure;
        Set(path, "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)");
        return 0;
    }
    std::string ErrorText(uint32_t code) override { return "error " + std::to_string(code); }
    // A path without a drive or share lies in this folder.
    std::string currentFolder = "C:\\Work";
    std::string FullPath(const std::string& path) override {
        const bool full = !path.empty() && (path[0] == '\\' || path[0] == '/' ||
                                            (path.size() > 1 && path[1] == ':'));
        return full ? path : currentFolder + "\\" + path;
    }
};
