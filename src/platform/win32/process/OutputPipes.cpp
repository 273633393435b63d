#include "platform/win32/process/OutputPipes.h"

#include <algorithm>
#include <cwchar>

#include "platform/ProcessLauncher.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

// Raw bytes kept per stream: enough for kOutputKept bytes of UTF-8 in any OEM code page, whose
// characters take one or two bytes and never fewer in UTF-8.
constexpr size_t kRawKept = 2 * ProcessLauncher::kOutputKept;
// How long the pipes are still read after the process has ended: a program it started may hold
// them open for as long as it runs, and the run must not wait for that.
constexpr DWORD kGrace = 500;

}  // namespace

OutputPipes::~OutputPipes() {
    for (Stream& stream : streams_) Stop(stream);
}

uint32_t OutputPipes::Open() {
    for (Stream& stream : streams_) {
        if (const uint32_t failed = OpenStream(stream)) return failed;
    }
    return 0;
}

uint32_t OutputPipes::OpenStream(Stream& stream) {
    static LONG made = 0;
    wchar_t name[80];
    std::swprintf(name, 80, L"\\\\.\\pipe\\Orvik-%lu-%lu-%ld", GetCurrentProcessId(),
                  GetTickCount(), InterlockedIncrement(&made));
    // One instance, made by us first: nobody else can serve the name or connect to it once the
    // write end below is connected.
    stream.read = UniqueHandle(CreateNamedPipeW(
        name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, sizeof(stream.buffer), 0, nullptr));
    if (!stream.read.Valid()) return GetLastError();
    // Inheritable, and with the right to read its attributes, which some programs ask for.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    stream.write = UniqueHandle(CreateFileW(name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &inherit,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stream.write.Valid()) return GetLastError();
    stream.event = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stream.event.Valid()) return GetLastError();
    stream.overlapped.hEvent = stream.event.Get();
    return 0;
}

void OutputPipes::Keep(Stream& stream, DWORD count) {
    stream.raw.append(stream.buffer, count);
    if (stream.raw.size() > 2 * kRawKept) stream.raw.erase(0, stream.raw.size() - kRawKept);
}

void OutputPipes::Issue(Stream& stream) {
    while (stream.open && !stream.pending) {
        DWORD count = 0;
        if (ReadFile(stream.read.Get(), stream.buffer, sizeof(stream.buffer), nullptr,
                     &stream.overlapped)) {
            if (GetOverlappedResult(stream.read.Get(), &stream.overlapped, &count, FALSE)) {
                Keep(stream, count);
            }
            continue;
        }
        // Anything but a read under way (ERROR_BROKEN_PIPE: every writer closed) ends the stream.
        stream.pending = GetLastError() == ERROR_IO_PENDING;
        stream.open = stream.pending;
    }
}

void OutputPipes::Complete(Stream& stream) {
    DWORD count = 0;
    stream.pending = false;
    if (GetOverlappedResult(stream.read.Get(), &stream.overlapped, &count, FALSE)) {
        Keep(stream, count);
    } else {
        stream.open = false;
    }
}

void OutputPipes::Stop(Stream& stream) {
    if (!stream.pending) return;
    // The buffer and OVERLAPPED must outlive the read: cancel it and see it end.
    CancelIo(stream.read.Get());
    DWORD count = 0;
    if (GetOverlappedResult(stream.read.Get(), &stream.overlapped, &count, TRUE)) {
        Keep(stream, count);
    }
    stream.pending = false;
    stream.open = false;
}

uint32_t OutputPipes::Drain(HANDLE process, DWORD limit, bool& ended) {
    for (Stream& stream : streams_) stream.write.Reset();
    const DWORD began = GetTickCount();
    DWORD bound = limit;
    uint32_t error = 0;
    ended = false;
    for (;;) {
        HANDLE waits[3];
        Stream* owners[3] = {};
        DWORD count = 0;
        if (!ended) waits[count++] = process;
        for (Stream& stream : streams_) {
            Issue(stream);
            if (!stream.pending) continue;
            owners[count] = &stream;
            waits[count++] = stream.event.Get();
        }
        const DWORD spent = GetTickCount() - began;
        if (count == 0 || spent >= bound) break;
        const DWORD got = WaitForMultipleObjects(count, waits, FALSE, bound - spent);
        if (got == WAIT_TIMEOUT) break;
        if (got >= WAIT_OBJECT_0 + count) {
            error = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_HANDLE;
            break;
        }
        if (owners[got - WAIT_OBJECT_0] != nullptr) {
            Complete(*owners[got - WAIT_OBJECT_0]);
        } else {
            ended = true;
            bound = std::min<DWORD>(bound, GetTickCount() - began + kGrace);
        }
    }
    for (Stream& stream : streams_) Stop(stream);
    return error;
}

std::string OutputPipes::Decoded(const std::string& raw) {
    if (raw.empty()) return {};
    // Console programs write in the OEM code page when their output is no console.
    const UINT page = GetOEMCP();
    const int size = static_cast<int>(raw.size());
    const int length = MultiByteToWideChar(page, 0, raw.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0) MultiByteToWideChar(page, 0, raw.data(), size, wide.data(), length);
    std::string text = Narrow(wide);
    if (text.size() <= ProcessLauncher::kOutputKept) return text;
    // The last bytes, starting on a character: never with a UTF-8 continuation byte.
    size_t cut = text.size() - ProcessLauncher::kOutputKept;
    while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
    return text.substr(cut);
}

}  // namespace win32
