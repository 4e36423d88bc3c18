#include "io/WriteBehind.h"

#include <fcntl.h>

void WriteBehind::Wrote(uint64_t end) {
  if (end < handed_ + kStepBytes)
    return;
  // Errors are left to the writes and the final sync, which report them:
  // this only changes when the disk is written.
  ::sync_file_range(fd_, static_cast<off_t>(handed_), static_cast<off_t>(end - handed_),
                    SYNC_FILE_RANGE_WRITE);
  if (handed_ > dropped_) {
    const auto from = static_cast<off_t>(dropped_);
    const auto length = static_cast<off_t>(handed_ - dropped_);
    ::sync_file_range(fd_, from, length,
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                          SYNC_FILE_RANGE_WAIT_AFTER);
    ::posix_fadvise(fd_, from, length, POSIX_FADV_DONTNEED);
    dropped_ = handed_;
  }
  handed_ = end;
}
