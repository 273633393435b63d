#include "platform/win32/common/WholeFile.h"

#include <windows.h>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/SystemError.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

std::optional<std::string> ReadWholeFile(const std::string& path, uint32_t share, uint32_t& error) {
    const auto failed = [&] {
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return std::nullopt;
    };
    const std::wstring wide = Widen(path);
    const UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = kFolder;
            return std::nullopt;
        }
        return failed();
    }
    // Sized once: a catalogue may be large, and it is held once while it is read.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return failed();
    if (size.QuadPart > 0x7FFFFFFF) {
        error = ERROR_FILE_TOO_LARGE;
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                      &read, nullptr)) {
            return failed();
        }
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    error = 0;
    return bytes;
}

std::string FileErrorText(uint32_t error) {
    if (error == kFolder) return "it is a folder";
    if (error == kNotAFile) return "it is a device, not a file on a disk";
    const std::string text = SystemErrorText(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}

}  // namespace win32
