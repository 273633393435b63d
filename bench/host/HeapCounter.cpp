#include "bench/host/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>

// glibc's own allocator, under the names it keeps for programs that replace malloc.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};

// What the allocator really hands out, so that the count is the memory taken, not asked for.
void* Counted(void* block) {
    if (!block) return nullptr;
    const size_t size = malloc_usable_size(block);
    const size_t now = live.fetch_add(size) + size;
    size_t high = peak.load();
    while (now > high && !peak.compare_exchange_weak(high, now)) {
    }
    return block;
}

void Uncount(void* block) {
    if (block) live.fetch_sub(malloc_usable_size(block));
}

}  // namespace

namespace bench {

size_t HeapLive() { return live.load(); }
size_t HeapPeak() { return peak.load(); }
void ResetHeapPeak() { peak.store(live.load()); }

}  // namespace bench

extern "C" {

void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void free(void* block) {
    Uncount(block);
    __libc_free(block);
}
void* realloc(void* block, size_t size) {
    const size_t before = block ? malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) live.fetch_sub(before);
    return Counted(moved);
}
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** block, size_t alignment, size_t size) {
    *block = memalign(alignment, size);
    return *block || size == 0 ? 0 : ENOMEM;
}

}  // extern "C"
