#pragma once
// What memory the process can still take: the room left under its
// address-space limit and what the system reports available, less a reserve
// for the rest of the program (its windows, dialogs and threads). A text
// that would grow past it is refused before the system runs out, which
// would end the program with every document in it.

#include <cstdint>

namespace MemoryHeadroom {
// Kept back for everything that is not a document's text.
constexpr uint64_t kReserve = uint64_t(64) << 20;

// Bytes that may still be taken, after the reserve. The system's figure may
// be stood in for by SIFTWELL_MEMAVAILABLE (bytes), for tests.
uint64_t Available();
// Under an address-space limit, has every thread allocate from one heap:
// the C library's heap for each thread reserves 64 MiB of address space,
// and a few threads would leave the limit no room for text. Call it first
// in main, before any thread starts.
void FitHeapsToLimit();
// Throws std::bad_alloc unless `bytes` more fit in Available(): an edit
// that cannot get its memory fails as an allocation would, before it starts.
void Require(uint64_t bytes);
} // namespace MemoryHeadroom
