// Interposes malloc, calloc, realloc and free (glibc's __libc_* underneath) and keeps the
// live and peak byte counts, using the allocator's own usable size so frees need no table.
#include "bench/heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};
std::atomic<long long> g_base{0};
std::atomic<long long> g_allocations{0};

void Add(void* p) {
    if (!p) return;
    g_allocations.fetch_add(1);
    long long now = g_live.fetch_add(static_cast<long long>(malloc_usable_size(p))) +
                    static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}
void Remove(void* p) {
    if (p) g_live.fetch_sub(static_cast<long long>(malloc_usable_size(p)));
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    Add(p);
    return p;
}
void* calloc(size_t n, size_t m) {
    void* p = __libc_calloc(n, m);
    Add(p);
    return p;
}
void* realloc(void* old, size_t n) {
    Remove(old);
    void* p = __libc_realloc(old, n);
    Add(p ? p : (n ? old : nullptr));
    return p;
}
void free(void* p) {
    Remove(p);
    __libc_free(p);
}
}

void HeapCounterReset() {
    long long now = g_live.load();
    g_base.store(now);
    g_peak.store(now);
    g_allocations.store(0);
}

size_t HeapCounterPeak() { return static_cast<size_t>(g_peak.load() - g_base.load()); }

size_t HeapCounterAllocations() { return static_cast<size_t>(g_allocations.load()); }
