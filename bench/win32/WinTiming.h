#pragma once
// Clocks and memory figures of this process, as Windows reports them.

#include <cstddef>

namespace bench {

// Wall time from the performance counter and processor time of the whole process, in ms.
struct Moment {
    double wallMs = 0;
    double cpuMs = 0;
};
Moment Now();

struct Elapsed {
    double wallMs = 0;
    double cpuMs = 0;
};
Elapsed Since(const Moment& start);

// GetProcessMemoryInfo: the peaks so far and the present figures, in bytes.
struct MemoryFigures {
    size_t peakWorkingSet = 0;
    size_t workingSet = 0;
    size_t peakPagefile = 0;  // peak private commit
    size_t pagefile = 0;
};
MemoryFigures Memory();

}  // namespace bench
