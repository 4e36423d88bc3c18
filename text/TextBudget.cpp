#include "text/TextBudget.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace {
std::atomic<int64_t> resident{0};
std::atomic<uint64_t> testLimit{0};
std::mutex directoryMutex;
std::string directory;

uint64_t ComputedLimit() {
  uint64_t limit = uint64_t(1) << 30;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0)
    limit = std::min(limit, static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 8);
  if (const char* lower = std::getenv("SIFTWELL_TEXT_BUDGET")) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(lower, &end, 10);
    // Only lower: a typing error must not let the text take all memory.
    if (end != lower && *end == '\0' && value > 0)
      limit = std::min<uint64_t>(limit, value);
  }
  return limit;
}
} // namespace

uint64_t TextBudget::Limit() {
  static const uint64_t computed = ComputedLimit();
  const uint64_t forTests = testLimit.load(std::memory_order_relaxed);
  return forTests != 0 ? forTests : computed;
}

void TextBudget::SetLimitForTests(uint64_t bytes) {
  testLimit.store(bytes, std::memory_order_relaxed);
}

uint64_t TextBudget::Resident() {
  return static_cast<uint64_t>(std::max<int64_t>(0, resident.load(std::memory_order_relaxed)));
}

void TextBudget::AddResident(int64_t bytes) {
  resident.fetch_add(bytes, std::memory_order_relaxed);
}

uint64_t TextBudget::InMemoryShare(uint64_t bytes) {
  const uint64_t limit = Limit();
  const uint64_t resident = Resident();
  return resident >= limit ? 0 : std::min(bytes, limit - resident);
}

std::string TextBudget::SpillDirectory() {
  std::lock_guard<std::mutex> lock(directoryMutex);
  if (!directory.empty())
    return directory;
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? std::string(tmp) : std::string("/tmp");
}

void TextBudget::SetSpillDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(directoryMutex);
  directory = path;
}
