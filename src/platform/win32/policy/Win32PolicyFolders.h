#pragma once
// The policy definitions' folder through kernel32: the environment, FindFirstFileExW, the
// user's preferred interface languages.

#include "platform/PolicyFolders.h"

namespace win32 {

class Win32PolicyFolders final : public PolicyFolders {
public:
    std::string DefaultFolder() override;
    std::optional<std::vector<std::string>> FileNames(const std::string& folder,
                                                      const std::string& suffix) override;
    std::optional<std::string> Read(const std::string& path, std::string& why) override;
    std::vector<std::string> Languages() override;
};

}  // namespace win32
