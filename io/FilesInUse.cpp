#include "io/FilesInUse.h"

#include <map>
#include <mutex>
#include <sys/stat.h>
#include <utility>

namespace {
using Key = std::pair<dev_t, ino_t>;

std::mutex mutex;
std::map<Key, int>& Counts() {
  // Never destroyed: a text may let go of its file while the program ends.
  static auto* counts = new std::map<Key, int>();
  return *counts;
}
} // namespace

void FilesInUse::Remember(dev_t device, ino_t inode) {
  std::lock_guard<std::mutex> lock(mutex);
  ++Counts()[{device, inode}];
}

void FilesInUse::Forget(dev_t device, ino_t inode) {
  std::lock_guard<std::mutex> lock(mutex);
  auto& counts = Counts();
  const auto at = counts.find({device, inode});
  if (at != counts.end() && --at->second <= 0)
    counts.erase(at);
}

bool FilesInUse::Holds(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return false;
  std::lock_guard<std::mutex> lock(mutex);
  return Counts().count({info.st_dev, info.st_ino}) != 0;
}
