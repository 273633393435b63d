#pragma once
// Who this process runs as, and who may do what to a file or folder, as data: what the programs
// need to judge whether only administrators control the catalogue they run as an administrator.
// Text is UTF-8.

#include <cstdint>
#include <string>
#include <vector>

// One entry of an access list, as it stands in it.
struct AccessEntry {
    std::string sid;           // "S-1-5-32-545"
    std::string name;          // "BUILTIN\Users"; the SID text when the account has no name
    uint32_t mask = 0;         // the rights as the entry holds them, generic ones included
    bool allow = true;         // false: a deny entry
    bool inheritOnly = false;  // given to children only, not to the object itself
};

struct ObjectSecurity {
    std::string ownerSid;
    std::string ownerName;
    bool nullDacl = false;             // no access list at all: everyone may do everything
    std::vector<AccessEntry> entries;  // in the order they are checked
};

class FileSecurity {
public:
    virtual ~FileSecurity() = default;
    // True when the process runs with an administrator's full token, or as SYSTEM.
    virtual bool IsElevated() = 0;
    // The owner and access list of a file or folder: 0, or the Windows error code (2 or 3: no
    // such file or folder).
    virtual uint32_t Query(const std::string& path, ObjectSecurity& security) = 0;
    // True when the account is an administrator of this machine (a member of Administrators,
    // SYSTEM, or the Administrators group itself).
    virtual bool IsAdministrator(const std::string& sid) = 0;
    // Makes a folder that only administrators and SYSTEM may change (full control for them, no
    // access for anyone else, nothing inherited): 0, or the Windows error code (183 when it
    // exists already; it is then left as it is).
    virtual uint32_t MakeAdministratorsFolder(const std::string& path) = 0;
    // Gives a file this program has just made the access list of such a folder (administrators
    // and SYSTEM, nothing inherited from its folder): 0, or the Windows error code.
    virtual uint32_t ProtectFile(const std::string& path) = 0;
    // The platform's message for a Windows error code.
    virtual std::string ErrorText(uint32_t code) = 0;
    // The full path the system makes of path (the current folder and drive, "." and "..",
    // slashes), so that a file is judged with every folder above it however it was named; the
    // path itself when the system cannot make one.
    virtual std::string FullPath(const std::string& path) = 0;
};
