#include "memory/MemoryHeadroom.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr uint64_t kUnlimited = UINT64_MAX;

// The address space this process takes, from /proc/self/statm.
uint64_t AddressSpaceUsed() {
  unsigned long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "re");
  if (!statm)
    return 0;
  if (std::fscanf(statm, "%lu", &pages) != 1)
    pages = 0;
  std::fclose(statm);
  return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// "MemAvailable" of /proc/meminfo, in bytes; unlimited when it cannot be read.
uint64_t SystemAvailable() {
  if (const char* standIn = std::getenv("SIFTWELL_MEMAVAILABLE"))
    return std::strtoull(standIn, nullptr, 10);
  std::FILE* info = std::fopen("/proc/meminfo", "re");
  if (!info)
    return kUnlimited;
  uint64_t kib = 0;
  bool found = false;
  char line[256];
  while (!found && std::fgets(line, sizeof line, info))
    found = std::sscanf(line, "MemAvailable: %lu kB", &kib) == 1;
  std::fclose(info);
  return found ? kib << 10 : kUnlimited;
}

// The room under the address-space limit; unlimited without one.
uint64_t AddressSpaceLeft() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return kUnlimited;
  const uint64_t used = AddressSpaceUsed();
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}
} // namespace

uint64_t MemoryHeadroom::Available() {
  const uint64_t room = std::min(SystemAvailable(), AddressSpaceLeft());
  return room > kReserve ? room - kReserve : 0;
}

void MemoryHeadroom::FitHeapsToLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    ::mallopt(M_ARENA_MAX, 1);
}

void MemoryHeadroom::Require(uint64_t bytes) {
  if (bytes > Available())
    throw std::bad_alloc();
}
