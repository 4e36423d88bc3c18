#pragma once
// How much text the process keeps in memory, and where text beyond that
// goes. Every chunk of text in memory counts here, whichever document or
// thread holds it; a document's text that finds the count over the limit
// writes chunks of its own to a spill file and reads them back when needed,
// so that the disk, not the memory, bounds the size of a result.

#include <cstdint>
#include <string>

namespace TextBudget {
// Bytes of text kept in memory at most: 1 GiB, or an eighth of the physical
// memory when that is less. SIFTWELL_TEXT_BUDGET (bytes) may lower it.
uint64_t Limit();
// Stands in for Limit() until called with 0; for tests.
void SetLimitForTests(uint64_t bytes);
// Bytes of text in memory now.
uint64_t Resident();
// Counted by the one owner of text memory (ResidentBytes) alone.
void AddResident(int64_t bytes);
// Of `bytes` more of a text that spills, what stays in memory: what fits
// under the limit now; the rest goes to disk.
uint64_t InMemoryShare(uint64_t bytes);

// The folder for spill files: set once at start (the user's cache folder);
// until then $TMPDIR, or /tmp.
std::string SpillDirectory();
void SetSpillDirectory(const std::string& directory);
} // namespace TextBudget
