#include "support/PagesInMemory.h"

#include <sys/mman.h>
#include <unistd.h>
#include <vector>

std::size_t PagesInMemory(int fd, std::size_t bytes) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED)
    return bytes / page;
  std::vector<unsigned char> in((bytes + page - 1) / page);
  std::size_t count = 0;
  if (::mincore(map, bytes, in.data()) == 0)
    for (unsigned char p : in)
      count += p & 1;
  ::munmap(map, bytes);
  return count;
}
