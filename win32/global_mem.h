// Global memory blocks reached through handles, with the observable contract of the Windows calls.
//
// - GlobalAlloc answers a handle (never the address) or 0 when the memory cannot be had. GMEM_ZEROINIT
//   fills the block with zeros. A movable block of 0 bytes is a discarded block: GlobalLock answers null.
// - GlobalLock answers the block's first byte and counts one lock; null for a handle that is not live.
// - GlobalUnlock answers nonzero while locks remain, 0 when the count reaches 0 (last error NO_ERROR) and
//   0 with ERROR_NOT_LOCKED when the block was not locked.
// - The calls set the thread's last error (win32/last_error.h): NO_ERROR on success, ERROR_INVALID_HANDLE
//   for a handle that is not live, ERROR_NOT_ENOUGH_MEMORY when GlobalAlloc fails.
// - GlobalFree answers 0 on success (also for a locked block) and the handle itself for one that is not
//   live.
// Handles are checked against the live blocks, so a stale or invented handle is refused, not followed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "win32/last_error.h"
#include "win32/wintypes.h"

namespace win32 {

using HGLOBAL = std::uintptr_t;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_LOCKED = 158;

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
// Size of a live block, 0 otherwise.
std::size_t GlobalSize(HGLOBAL block);

// Tests: the next `count` calls of GlobalAlloc fail as if memory were exhausted (0 ends the failures).
void FailGlobalAllocForTesting(int count);
// Number of live blocks (tests check that every block is freed).
std::size_t GlobalLiveBlocksForTesting();

}  // namespace win32
