// Global memory over the C++ heap: a table of live blocks keyed by handle.
#include "win32/global_mem.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "win32/last_error.h"

namespace win32 {

namespace {

struct Block {
  std::unique_ptr<unsigned char[]> data;  // null for a discarded block
  std::size_t size = 0;
  int locks = 0;
};

struct Heap {
  std::mutex mutex;
  std::map<HGLOBAL, Block> blocks;
  HGLOBAL next = 0x1000;  // handles are numbers, never addresses
  int failures = 0;
};

Heap& TheHeap() {
  static Heap heap;
  return heap;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  if (heap.failures > 0) {
    --heap.failures;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  Block block;
  if (bytes > 0 || (flags & GMEM_MOVEABLE) == 0) {
    // A fixed block of 0 bytes still has an address.
    const std::size_t size = bytes > 0 ? bytes : 1;
    block.data.reset(new (std::nothrow) unsigned char[size]);
    if (block.data == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    if ((flags & GMEM_ZEROINIT) != 0) std::fill_n(block.data.get(), size, 0);
    block.size = bytes;
  }
  const HGLOBAL handle = heap.next;
  heap.next += 8;
  heap.blocks.emplace(handle, std::move(block));
  SetLastError(NO_ERROR);
  return handle;
}

void* GlobalLock(HGLOBAL handle) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(handle);
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (it->second.data == nullptr) {
    SetLastError(NO_ERROR);
    return nullptr;
  }
  ++it->second.locks;
  SetLastError(NO_ERROR);
  return it->second.data.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(handle);
  if (it == heap.blocks.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (it->second.locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  SetLastError(NO_ERROR);
  return --it->second.locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  if (heap.blocks.erase(handle) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return handle;
  }
  SetLastError(NO_ERROR);
  return 0;
}

std::size_t GlobalSize(HGLOBAL handle) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(handle);
  return it == heap.blocks.end() ? 0 : it->second.size;
}

void FailGlobalAllocForTesting(int count) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  heap.failures = count > 0 ? count : 0;
}

std::size_t GlobalLiveBlocksForTesting() {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  return heap.blocks.size();
}

}  // namespace win32
