#include "bench/win32/WinTiming.h"

#include <windows.h>
#include <psapi.h>

namespace bench {
namespace {

double CounterMs() {
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

double ProcessorMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns units
}

}  // namespace

Moment Now() { return {CounterMs(), ProcessorMs()}; }

Elapsed Since(const Moment& start) {
    const Moment now = Now();
    return {now.wallMs - start.wallMs, now.cpuMs - start.cpuMs};
}

MemoryFigures Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return {};
    return {counters.PeakWorkingSetSize, counters.WorkingSetSize, counters.PeakPagefileUsage,
            counters.PagefileUsage};
}

}  // namespace bench
