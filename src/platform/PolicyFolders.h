#pragma once
// Where Windows keeps its policy definitions (the .admx files, with their language files .adml
// in a folder per language), the languages to show them in, and reading the files. Paths and
// text are UTF-8; paths may use backslashes on every side.

#include <optional>
#include <string>
#include <vector>

class PolicyFolders {
public:
    virtual ~PolicyFolders() = default;
    // %SystemRoot%\PolicyDefinitions (the Windows folder when SystemRoot is not set).
    virtual std::string DefaultFolder() = 0;
    // The names (without folder) of the files in folder whose names end in suffix, in any
    // letter case, sorted; nothing when the folder is missing or cannot be listed.
    virtual std::optional<std::vector<std::string>> FileNames(const std::string& folder,
                                                              const std::string& suffix) = 0;
    // The whole file; nothing, and the system's reason in why, when it cannot be read.
    virtual std::optional<std::string> Read(const std::string& path, std::string& why) = 0;
    // The user's interface languages as locale names ("de-DE"), preferred first; may be empty.
    virtual std::vector<std::string> Languages() = 0;
};
