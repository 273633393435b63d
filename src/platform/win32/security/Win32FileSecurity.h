#pragma once
// FileSecurity on advapi32: the process token, the owner and access list of a file, and the
// members of the local Administrators group (asked of this machine only, never of a domain).

#include "platform/FileSecurity.h"

namespace win32 {

class Win32FileSecurity final : public FileSecurity {
public:
    bool IsElevated() override;
    uint32_t Query(const std::string& path, ObjectSecurity& security) override;
    bool IsAdministrator(const std::string& sid) override;
    uint32_t MakeAdministratorsFolder(const std::string& path) override;
    uint32_t ProtectFile(const std::string& path) override;
    std::string ErrorText(uint32_t code) override;
    std::string FullPath(const std::string& path) override;
};

}  // namespace win32
