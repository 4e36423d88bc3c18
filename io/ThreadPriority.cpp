#include "io/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Enough that a waking thread of the default priority takes the core at
// once (about nine tenths of the time against one of these), not so much
// that the work stalls behind other programs.
constexpr int kNiceness = 10;
} // namespace

void RunBehindTheWindow() {
  // On Linux a thread's nice value is its own: PRIO_PROCESS with a thread
  // id sets it for that thread alone.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  if (::getpriority(PRIO_PROCESS, tid) < kNiceness)
    ::setpriority(PRIO_PROCESS, tid, kNiceness);
}
