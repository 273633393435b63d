#pragma once
// The console program's side of Windows: its arguments, standard output and error, its files,
// and the search process start makes for a program.

#include <string>
#include <vector>

#include "platform/Console.h"
#include "platform/ConsoleFiles.h"
#include "platform/ProgramSearch.h"

namespace win32 {

// The arguments after the program's name, split as the C runtime splits them, in UTF-8.
std::vector<std::string> ProcessArguments();

// A console gets the characters (WriteConsoleW), whatever its code page; a pipe or file gets
// UTF-8 with CR LF line ends.
class Win32Console final : public Console {
public:
    uint32_t Out(const std::string& text) override;
    void Err(const std::string& text) override;
    uint32_t OutBytes(const std::string& bytes) override;
};

class Win32ConsoleFiles final : public ConsoleFiles {
public:
    std::unique_ptr<OutputFile> Create(const std::string& path, bool replace,
                                       uint32_t& error) override;
    std::optional<std::string> Read(const std::string& path, uint32_t& error) override;
    uint32_t MakeFolder(const std::string& path) override;
    void Remove(const std::string& path) override;
    std::string ErrorText(uint32_t code) override;
};

class Win32ProgramSearch final : public ProgramSearch {
public:
    std::vector<std::string> SearchFolders() override;
    bool IsFile(const std::string& path) override;
};

}  // namespace win32
