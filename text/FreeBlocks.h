#pragma once
// Blocks of a text's full chunk size given back, kept for the next chunk
// whichever thread makes it. Text memory is made on one thread (a supply,
// a worker) and freed on another (the window's, once a chunk went to disk);
// left to the C library, each thread's heap kept what was freed into it,
// and a text at its memory budget grew a quarter over it across passes.

#include <cstddef>
#include <memory>

namespace FreeBlocks {
// The size of the blocks kept.
constexpr std::size_t kBlockBytes = 64 * 1024;
// A kept block (its pages mapped, contents unspecified), or nullptr.
std::unique_ptr<char[]> Take();
// Keeps `block` of kBlockBytes, or frees it when enough are kept.
void Give(std::unique_ptr<char[]> block);
} // namespace FreeBlocks
