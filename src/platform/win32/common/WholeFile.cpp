#include "platform/win32/common/WholeFile.h"

#include <windows.h>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {

std::optional<std::string> ReadWholeFile(const std::string& path, uint32_t share,
                                         uint32_t& error) {
    const auto failed = [&] {
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return std::nullopt;
    };
    const UniqueHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, share, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return failed();
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

}  // namespace win32
