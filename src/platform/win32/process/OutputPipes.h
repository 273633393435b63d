#pragma once
// Pipes for an awaited command's standard output and standard error, both read at once so that
// neither can fill up and stop the command. They are named pipes read with overlapped I/O (an
// anonymous pipe cannot be): one thread waits on the process and both reads with one bound.

#include <windows.h>

#include <string>

#include "platform/win32/common/Handle.h"

namespace win32 {

class OutputPipes {
public:
    OutputPipes() = default;
    OutputPipes(const OutputPipes&) = delete;
    OutputPipes& operator=(const OutputPipes&) = delete;
    ~OutputPipes();

    // Makes both pipes. 0, or the Windows error code.
    uint32_t Open();
    // The inheritable write ends, for the command's standard handles.
    HANDLE OutputEnd() const { return streams_[0].write.Get(); }
    HANDLE ErrorEnd() const { return streams_[1].write.Get(); }
    // Reads both until the process has ended and they have ended too (or a moment after the
    // process ended, when something it started holds them open), or until limit milliseconds
    // have passed; then reads no more. Our write ends are closed first: the reads end only once
    // every holder has closed its copy. 0 and whether the process ended, or the error of a wait.
    uint32_t Drain(HANDLE process, DWORD limit, bool& ended);
    // The last bytes of each, decoded from the OEM code page into UTF-8.
    std::string Output() const { return Decoded(streams_[0].raw); }
    std::string Errors() const { return Decoded(streams_[1].raw); }

private:
    struct Stream {
        UniqueHandle read;
        UniqueHandle write;
        UniqueHandle event;
        OVERLAPPED overlapped{};
        char buffer[4096]{};
        bool pending = false;
        bool open = true;
        std::string raw;  // the last bytes read
    };

    static uint32_t OpenStream(Stream& stream);
    static void Issue(Stream& stream);
    static void Complete(Stream& stream);
    static void Keep(Stream& stream, DWORD count);
    static void Stop(Stream& stream);
    static std::string Decoded(const std::string& raw);

    Stream streams_[2];
};

}  // namespace win32
