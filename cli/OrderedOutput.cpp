#include "cli/OrderedOutput.h"

#include "extract/PartsInOrder.h"
#include "io/WriteAll.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Chunks of one file that may wait for the writer: with the files in
// flight, they bound the memory.
constexpr std::size_t kChunksAhead = 4;

// A piece of one file's output: bytes, or a message about the file.
struct Chunk {
  std::unique_ptr<char[]> bytes;
  std::size_t length = 0;
  std::string message;
};
using Parts = PartsInOrder<Chunk>;

// Buffers the writer is done with, for the workers' next chunks: the
// output's memory is taken once, not once for each chunk (fresh memory
// costs its page faults again).
class SpareBuffers {
public:
  std::unique_ptr<char[]> Get() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        std::unique_ptr<char[]> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
      }
    }
    return std::unique_ptr<char[]>(new char[FileLineSink::kBufferSize]);
  }
  void Put(std::unique_ptr<char[]> buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < kChunksAhead)
      spare_.push_back(std::move(buffer));
  }

private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<char[]>> spare_;
};

// Hands a worker's full buffers over at its file's place; none once the
// writer has stopped, so that the sink fails and the scan ends.
class ChunkHandOver : public ChunkTaker {
public:
  ChunkHandOver(Parts::Part& part, SpareBuffers& spare) : part_(part), spare_(spare) {}
  // The part has failed: what is left of its output goes nowhere.
  void Refuse() { refused_ = true; }
  std::unique_ptr<char[]> Take(std::unique_ptr<char[]> buffer, std::size_t used) override {
    if (refused_)
      return nullptr;
    Chunk chunk;
    chunk.bytes = std::move(buffer);
    chunk.length = used;
    if (!part_.Hand(std::move(chunk)))
      return nullptr;
    return spare_.Get();
  }

private:
  Parts::Part& part_;
  SpareBuffers& spare_;
  bool refused_ = false;
};

void RunJob(const FileJob& job, Parts::Part& part, SpareBuffers& spare) {
  ChunkHandOver handOver(part, spare);
  FileLineSink out;
  out.OpenChunks(handOver);
  const auto post = [&](const std::string& message) {
    out.Flush(); // the bytes before the message go before it
    Chunk chunk;
    chunk.message = message;
    part.Hand(std::move(chunk));
  };
  try {
    job(part.Index(), out, post);
    out.Flush();
  } catch (...) {
    // The sink flushes as it closes, which must then neither hand over
    // nor allocate.
    handOver.Refuse();
    throw;
  }
}

} // namespace

int WriteInOrder(std::size_t count, unsigned workers, int fd, const FileJob& job,
                 const std::function<void(const std::string&)>& report) {
  SpareBuffers spare;
  Parts parts(count, workers, kChunksAhead, PartLimits(),
              [&job, &spare](Parts::Part& part) { RunJob(job, part, spare); });
  for (std::size_t index = 0; index < count;) {
    Chunk chunk;
    switch (parts.Take(index, chunk)) {
    case Parts::Got::Item:
      if (!chunk.bytes) {
        report(chunk.message);
        break;
      }
      if (const int error = WriteAll(fd, chunk.bytes.get(), chunk.length)) {
        parts.Cancel();
        return error;
      }
      spare.Put(std::move(chunk.bytes));
      break;
    case Parts::Got::End:
      ++index;
      break;
    case Parts::Got::Failed:
      report(std::strerror(ENOMEM));
      return 0;
    case Parts::Got::None:
    case Parts::Got::Cancelled:
      return 0;
    }
  }
  return 0;
}
