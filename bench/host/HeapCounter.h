#pragma once
// Counts the live heap bytes of this process that C++ and pugixml allocate, and their peak.
// Linking this in replaces the global operator new and delete of the program.

#include <cstddef>

namespace bench {

size_t HeapLive();
size_t HeapPeak();
// The peak starts again from what is live now.
void ResetHeapPeak();
// Routes pugixml's own allocations through the counter as well.
void CountPugiXml();

}  // namespace bench
