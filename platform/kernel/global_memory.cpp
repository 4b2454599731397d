// Global memory blocks. A fixed block's handle is its address; a movable block's handle is
// a separate record that GlobalLock turns into the address. Every handle is checked against
// the table of live blocks before it is used.
#include "platform/kernel/kernel.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

struct Block {
    uint8_t* data = nullptr;  // null for a discarded movable block
    size_t size = 0;          // bytes requested
    bool moveable = false;
    unsigned locks = 0;
};

std::mutex& TableLock() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<const void*, Block*>& Table() {
    static std::unordered_map<const void*, Block*> table;
    return table;
}

Block* Lookup(HGLOBAL handle) {
    if (!handle) return nullptr;
    auto& table = Table();
    auto it = table.find(handle);
    return it == table.end() ? nullptr : it->second;
}

HGLOBAL HandleOf(Block* block) {
    return block->moveable ? static_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(block->data);
}

// At least one byte is allocated so that every fixed block has its own address.
uint8_t* Allocate(size_t bytes, bool zero) {
    size_t n = bytes ? bytes : 1;
    return static_cast<uint8_t*>(zero ? std::calloc(n, 1) : std::malloc(n));
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (bytes > kGlobalMaxBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* block = new Block;
    block->moveable = (flags & GMEM_MOVEABLE) != 0;
    block->size = bytes;
    if (!block->moveable || bytes > 0) {
        block->data = Allocate(bytes, (flags & GMEM_ZEROINIT) != 0);
        if (!block->data) {
            delete block;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    std::lock_guard<std::mutex> guard(TableLock());
    HGLOBAL handle = HandleOf(block);
    Table()[handle] = block;
    return handle;
}

LPVOID GlobalLock(HGLOBAL mem) {
    std::lock_guard<std::mutex> guard(TableLock());
    Block* block = Lookup(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (block->moveable) {
        if (!block->data) return nullptr;
        if (block->locks < GMEM_LOCKCOUNT) ++block->locks;
    }
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL mem) {
    std::lock_guard<std::mutex> guard(TableLock());
    Block* block = Lookup(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!block->moveable) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    if (block->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL mem) {
    std::lock_guard<std::mutex> guard(TableLock());
    Block* block = Lookup(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->data ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    std::lock_guard<std::mutex> guard(TableLock());
    Block* block = Lookup(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    Table().erase(mem);
    std::free(block->data);
    delete block;
    return nullptr;
}
