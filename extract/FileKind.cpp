#include "extract/FileKind.h"

#include <sys/stat.h>

namespace {
bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && SameInode(sa, sb);
}

bool IsSameRegularFile(int a, int b) {
  struct stat sa {};
  struct stat sb {};
  return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && S_ISREG(sa.st_mode) && SameInode(sa, sb);
}
