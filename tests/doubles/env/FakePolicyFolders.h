#pragma once
// Policy definitions' folders in memory: files by their full path (backslashes), languages as
// set. The default folder is C:\Windows\PolicyDefinitions.

#include <algorithm>
#include <map>

#include "platform/PolicyFolders.h"

class FakePolicyFolders final : public PolicyFolders {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> languages;

    std::string DefaultFolder() override { return "C:\\Windows\\PolicyDefinitions"; }

    std::optional<std::vector<std::string>> FileNames(const std::string& folder,
                                                      const std::string& suffix) override {
        const std::string prefix = Lower(folder.back() == '\\' ? folder : folder + "\\");
        std::vector<std::string> names;
        bool exists = false;
        for (const auto& [path, bytes] : files) {
            const std::string lower = Lower(path);
            if (lower.rfind(prefix, 0) != 0) continue;
            exists = true;
            const std::string name = path.substr(prefix.size());
            if (name.find('\\') == std::string::npos && Lower(name).ends_with(Lower(suffix))) {
                names.push_back(name);
            }
        }
        if (!exists) return std::nullopt;
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<std::string> Read(const std::string& path, std::string& why) override {
        for (const auto& [name, bytes] : files) {
            if (Lower(name) == Lower(path)) return bytes;
        }
        why = "The system cannot find the file specified.";
        return std::nullopt;
    }

    std::vector<std::string> Languages() override { return languages; }

private:
    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    }
};
