#pragma once
// Counts the live heap bytes of this process and their peak: every block of the C library's
// allocator, whoever asks for it (C++, expat, pugixml). Linking this in replaces malloc and
// its kin for the whole program.

#include <cstddef>

namespace bench {

size_t HeapLive();
size_t HeapPeak();
// The peak starts again from what is live now.
void ResetHeapPeak();

}  // namespace bench
