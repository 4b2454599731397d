// A counting allocator for the benchmarks: interposes the C heap so that a benchmark can ask
// how many bytes were live at the peak of one operation and how many blocks it asked for. Not for production builds.
#pragma once

#include <cstddef>

// Forgets the peak and starts measuring from the bytes live now.
void HeapCounterReset();
// Largest number of bytes live since the last reset, above what was live at the reset.
size_t HeapCounterPeak();
// Blocks handed out (malloc, calloc, realloc) since the last reset.
size_t HeapCounterAllocations();
