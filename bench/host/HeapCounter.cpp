#include "bench/host/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <pugixml.hpp>

namespace {

std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};

// What the allocator really hands out, so that the count is the memory taken, not asked for.
void* Take(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (!block) return nullptr;
    const size_t now = live.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    size_t high = peak.load();
    while (now > high && !peak.compare_exchange_weak(high, now)) {
    }
    return block;
}

void Give(void* block) {
    if (!block) return;
    live.fetch_sub(malloc_usable_size(block));
    std::free(block);
}

void* TakeOrThrow(size_t size) {
    void* block = Take(size);
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace

namespace bench {

size_t HeapLive() { return live.load(); }
size_t HeapPeak() { return peak.load(); }
void ResetHeapPeak() { peak.store(live.load()); }
void CountPugiXml() { pugi::set_memory_management_functions(&Take, &Give); }

}  // namespace bench

void* operator new(size_t size) { return TakeOrThrow(size); }
void* operator new[](size_t size) { return TakeOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Take(size); }
void operator delete(void* block) noexcept { Give(block); }
void operator delete[](void* block) noexcept { Give(block); }
void operator delete(void* block, size_t) noexcept { Give(block); }
void operator delete[](void* block, size_t) noexcept { Give(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Give(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Give(block); }
