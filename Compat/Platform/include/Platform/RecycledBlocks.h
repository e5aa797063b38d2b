#pragma once
// Large blocks kept for the next user instead of being handed back to the system.
//
// A block of many megabytes handed back to the system and asked for again comes back as fresh pages,
// which the kernel clears one by one (or 2 MiB at a time) as they are first written: importing a
// million-triangle file clears about 200 MB that way, a sixth to a third of its CPU time. The FBX
// reader's big arrays and file buffer are asked for here instead; a block given back is kept, up to
// kRecycledBlocksKeptBytes in all, and handed out again to the next request it fits, so models
// imported one after the other reuse the same memory. A kept block is marked as free to the kernel
// (Linux), which takes its pages back if memory runs short, and nothing is cleared while it does not.
//
// Any thread: one lock guards the kept blocks. Blocks are plain memory without a type; their contents
// are unspecified when handed out.
#include <cstddef>

// Smaller blocks come from and go back to the general allocator.
inline constexpr std::size_t kRecycledBlockBytes = std::size_t(4) << 20;
// The most kept at once; the oldest go back to the system first.
inline constexpr std::size_t kRecycledBlocksKeptBytes = std::size_t(512) << 20;
// A kept block serves a request at least this share of its size, so a small request does not take
// (and hold) a much larger block.
inline constexpr std::size_t kRecycledBlockLargestWaste = 2;

// A block of at least `bytes`, suitably aligned for any standard type. Throws std::bad_alloc.
void* AcquireBlock(std::size_t bytes);
// Gives back a block from AcquireBlock; `bytes` is what was asked for.
void ReleaseBlock(void* block, std::size_t bytes) noexcept;
// What is kept now, in bytes (for tests and measurements).
std::size_t KeptBlockBytes();
