#pragma once
// A whole file read into memory: the catalogue for the reader, a journal for undo.

#include <cstdint>
#include <optional>
#include <string>

namespace win32 {

// ERROR_DIRECTORY_NOT_SUPPORTED, which MinGW's headers lack: Windows says "Access is denied"
// when a folder is opened as a file, which sends a person looking at permissions.
constexpr uint32_t kFolder = 336;
// ERROR_BAD_DEV_TYPE, given for a name that opens a device (NUL, CON, COM1) or a pipe where a
// file on a disk was to be made; Windows has no error of its own for it.
constexpr uint32_t kNotAFile = 66;

// The file's bytes, in one buffer sized once when it is opened; others may keep it open with the
// FILE_SHARE_ flags in share. Nothing, and the Windows error code, when it cannot be opened or
// read; a folder gives ERROR_DIRECTORY_NOT_SUPPORTED rather than Windows' "Access is denied".
std::optional<std::string> ReadWholeFile(const std::string& path, uint32_t share, uint32_t& error);

// Why a file could not be read or written, in the system's words ("it is a folder" for one);
// "error N" where the system has no words.
std::string FileErrorText(uint32_t error);

}  // namespace win32
