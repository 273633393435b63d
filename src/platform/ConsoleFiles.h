#pragma once
// The files the console program reads and writes besides the catalogue: the journal of a run,
// written as the run goes and read back to undo it, and the report page. Paths are UTF-8.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Hands the bytes to the system at once, so that they outlast the program however it ends;
    // 0 or the Windows error code.
    virtual uint32_t Write(const std::string& bytes) = 0;
    // Onto the disk itself.
    virtual uint32_t Flush() = 0;
};

class ConsoleFiles {
public:
    virtual ~ConsoleFiles() = default;
    // A new file, or, when replace, the file emptied; an existing one is otherwise an error
    // (80, ERROR_FILE_EXISTS). Null and the error when it cannot be made.
    virtual std::unique_ptr<OutputFile> Create(const std::string& path, bool replace,
                                               uint32_t& error) = 0;
    // The whole file, byte for byte; nothing and the error when it cannot be read.
    virtual std::optional<std::string> Read(const std::string& path, uint32_t& error) = 0;
    // Makes the folder (its parent must be there); 0 also when it is there already, else the
    // Windows error code.
    virtual uint32_t MakeFolder(const std::string& path) = 0;
    // Deletes a file this program made and could not finish.
    virtual void Remove(const std::string& path) = 0;
    virtual std::string ErrorText(uint32_t code) = 0;
};
