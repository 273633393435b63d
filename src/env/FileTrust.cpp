#include "env/FileTrust.h"

#include <algorithm>
#include <map>

namespace trust {
namespace {

constexpr const char* kSystem = "S-1-5-18";
constexpr const char* kAdministrators = "S-1-5-32-544";
constexpr const char* kTrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr const char* kEveryone = "S-1-1-0";
constexpr const char* kCreatorOwner = "S-1-3-0";
constexpr const char* kCreatorGroup = "S-1-3-1";
constexpr const char* kOwnerRights = "S-1-3-4";

constexpr uint32_t kGenericRead = 0x80000000, kGenericWrite = 0x40000000,
                   kGenericExecute = 0x20000000, kGenericAll = 0x10000000;
constexpr uint32_t kFileAllAccess = 0x1F01FF;

bool IsTrustedAccount(const std::string& sid) {
    return sid == kSystem || sid == kAdministrators || sid == kTrustedInstaller;
}

// What a principal may do to "it" (or "the folder X"), for the first of the rights found.
std::string RightText(uint32_t rights, const std::string& it) {
    if (rights & (kWriteData | kAppendData)) return "may write to " + it;
    if (rights & kDeleteChild) return "may delete or rename the files in " + it;
    if (rights & kDelete) return "may delete or rename " + it;
    if (rights & kWriteDac) return "may change the permissions of " + it;
    return "may take ownership of " + it;
}

std::string Named(const Grant& grant) {
    return grant.name == grant.sid || grant.name.empty() ? grant.sid
                                                         : grant.name + " (" + grant.sid + ")";
}

struct Judged {
    bool known = false;
    uint32_t error = 0;
    std::vector<Grant> grants;
};

Judged Judge(FileSecurity& security, const std::string& path, uint32_t rights) {
    ObjectSecurity object;
    Judged judged;
    judged.error = security.Query(path, object);
    if (judged.error != 0) return judged;
    judged.known = true;
    judged.grants = UntrustedGrants(
        object, rights, [&](const std::string& sid) { return security.IsAdministrator(sid); });
    return judged;
}

Verdict Failed(FileSecurity& security, const std::string& path, uint32_t error) {
    return {Verdict::State::Unknown,
            "the security of " + path + " cannot be read: " + security.ErrorText(error),
            {}};
}

Verdict Refused(const std::string& path, const Grant& grant, const std::string& it) {
    return {Verdict::State::NotProtected,
            path + " is not protected: " + Named(grant) + " " + RightText(grant.rights, it),
            {}};
}

// Folders above the given one that others may rename or re-permission.
std::vector<std::string> AncestorWarnings(FileSecurity& security, const std::string& folder) {
    std::vector<std::string> warnings;
    for (std::string above = ParentFolder(folder); !above.empty(); above = ParentFolder(above)) {
        const Judged judged = Judge(security, above, kReplaceFolder);
        if (judged.known && !judged.grants.empty()) {
            warnings.push_back(Named(judged.grants.front()) + " " +
                               RightText(judged.grants.front().rights, "the folder " + above));
        }
    }
    return warnings;
}

}  // namespace

uint32_t MapGeneric(uint32_t mask) {
    uint32_t specific = mask & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (mask & kGenericRead) specific |= 0x120089;
    if (mask & kGenericWrite) specific |= 0x120116;
    if (mask & kGenericExecute) specific |= 0x1200A0;
    if (mask & kGenericAll) specific |= kFileAllAccess;
    return specific;
}

std::vector<Grant> UntrustedGrants(const ObjectSecurity& object, uint32_t rights,
                                   const std::function<bool(const std::string&)>& isAdministrator) {
    std::vector<Grant> grants;  // every principal named, in order, with what it was given
    std::map<std::string, uint32_t> denied;
    const auto grantOf = [&](const std::string& sid, const std::string& name) -> Grant& {
        const auto found = std::find_if(grants.begin(), grants.end(),
                                        [&](const Grant& g) { return g.sid == sid; });
        if (found != grants.end()) return *found;
        return grants.emplace_back(Grant{sid, name, 0});
    };
    bool ownerRightsNamed = false;
    if (object.nullDacl) grantOf(kEveryone, "Everyone").rights = kFileAllAccess;
    for (const AccessEntry& entry : object.entries) {
        if (entry.inheritOnly || entry.sid == kCreatorOwner || entry.sid == kCreatorGroup) continue;
        const bool owner = entry.sid == kOwnerRights;
        ownerRightsNamed |= owner;
        const std::string& sid = owner ? object.ownerSid : entry.sid;
        const uint32_t mask = MapGeneric(entry.mask);
        if (!entry.allow) {
            denied[sid] |= mask;
            continue;
        }
        grantOf(sid, owner ? object.ownerName : entry.name).rights |=
            mask & ~denied[sid] & ~denied[kEveryone];
    }
    // The owner may always change the permissions, unless OWNER RIGHTS says what it may do.
    if (!ownerRightsNamed && !object.ownerSid.empty()) {
        grantOf(object.ownerSid, object.ownerName).rights |= kWriteDac;
    }
    std::vector<Grant> untrusted;
    for (Grant& grant : grants) {
        grant.rights &= rights;
        if (grant.rights == 0 || IsTrustedAccount(grant.sid)) continue;
        if (grant.sid == object.ownerSid && isAdministrator(grant.sid)) continue;
        untrusted.push_back(grant);
    }
    return untrusted;
}

std::string ParentFolder(const std::string& path) {
    // Windows takes the slash as a separator too.
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    std::string trimmed = path;
    while (trimmed.size() > 3 && separator(trimmed.back())) trimmed.pop_back();
    const size_t last = trimmed.find_last_of("\\/");
    if (last == std::string::npos || last + 1 == trimmed.size()) return "";
    // A share ("\\\\server\\share") is the root of what lies below it.
    if (trimmed.size() > 2 && separator(trimmed[0]) && separator(trimmed[1]) &&
        std::count_if(trimmed.begin(), trimmed.end(), separator) <= 3) {
        return "";
    }
    return trimmed.substr(0, last == 2 && trimmed[1] == ':' ? 3 : last);
}

// Each judgement starts from the full path: named relatively, a file would be judged without
// the folders above the current one.
Verdict JudgeFile(FileSecurity& security, const std::string& named) {
    const std::string path = security.FullPath(named);
    const Judged file = Judge(security, path, kChangeFile);
    if (!file.known) {
        if (file.error == 2 || file.error == 3) return {Verdict::State::Missing, "", {}};
        return Failed(security, path, file.error);
    }
    if (!file.grants.empty()) return Refused(path, file.grants.front(), "it");
    return JudgeFolderOf(security, path);
}

Verdict JudgeFolderOf(FileSecurity& security, const std::string& named) {
    const std::string path = security.FullPath(named);
    // A name without a folder lies in the current one.
    const std::string folder = ParentFolder(path).empty() ? "." : ParentFolder(path);
    const Judged place = Judge(security, folder, kReplaceInFolder);
    if (!place.known) {
        if (place.error == 2 || place.error == 3) return {Verdict::State::Missing, "", {}};
        return Failed(security, folder, place.error);
    }
    if (!place.grants.empty()) return Refused(path, place.grants.front(), "its folder " + folder);
    Verdict verdict{Verdict::State::Protected, "", AncestorWarnings(security, folder)};
    const Judged renamed = Judge(security, folder, kDelete);
    if (!renamed.grants.empty()) {
        verdict.warnings.insert(
            verdict.warnings.begin(),
            Named(renamed.grants.front()) + " " + RightText(kDelete, "the folder " + folder));
    }
    return verdict;
}

Verdict JudgeFolder(FileSecurity& security, const std::string& named) {
    const std::string path = security.FullPath(named);
    const Judged folder = Judge(security, path, kReplaceInFolder | kWriteData | kAppendData);
    if (!folder.known) {
        if (folder.error == 2 || folder.error == 3) return {Verdict::State::Missing, "", {}};
        return Failed(security, path, folder.error);
    }
    if (!folder.grants.empty()) return Refused(path, folder.grants.front(), "it");
    return {Verdict::State::Protected, "", AncestorWarnings(security, path)};
}

CatalogueTrust CheckCatalogue(FileSecurity& security, const std::string& path) {
    CatalogueTrust trust;
    trust.elevated = security.IsElevated();
    trust.verdict = JudgeFile(security, path);
    return trust;
}

Verdict PrepareAdministratorsFolder(FileSecurity& security, const std::string& path) {
    constexpr uint32_t kAlreadyExists = 183;
    const uint32_t error = security.MakeAdministratorsFolder(path);
    if (error == kAlreadyExists) return JudgeFolder(security, path);
    if (error != 0) {
        return {
            Verdict::State::Unknown, path + " could not be made: " + security.ErrorText(error), {}};
    }
    return {Verdict::State::Protected, "", {}};
}

}  // namespace trust
