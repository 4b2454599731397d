// The task allocator: blocks that cross an interface (the page list of
// ISpecifyPropertyPages) and that the receiver frees, from the C heap.
#include <cstdlib>

#include "platform/com/interfaces.h"

void* CoTaskMemAlloc(SIZE_T bytes) { return std::malloc(bytes ? bytes : 1); }
void CoTaskMemFree(void* block) { std::free(block); }
