#include "cli/OrderedOutput.h"

#include "extract/PartsInOrder.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <utility>

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

// Writes all of `data`; 0 or the errno of the failure.
int WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return n < 0 ? errno : EIO;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Hands a worker's full buffers over at its file's place; none once the
// writer has stopped, so that the sink fails and the scan ends.
class ChunkHandOver : public ChunkTaker {
public:
  explicit ChunkHandOver(Parts::Part& part) : part_(part) {}
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
    return std::unique_ptr<char[]>(new char[FileLineSink::kBufferSize]);
  }

private:
  Parts::Part& part_;
  bool refused_ = false;
};

void RunJob(const FileJob& job, Parts::Part& part) {
  ChunkHandOver handOver(part);
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
  Parts parts(count, workers, kChunksAhead, PartLimits(),
              [&job](Parts::Part& part) { RunJob(job, part); });
  for (std::size_t index = 0; index < count;) {
    Chunk chunk;
    switch (parts.Take(index, chunk)) {
    case Parts::Got::Item:
      if (!chunk.bytes) {
        report(chunk.message);
      } else if (const int error = WriteAll(fd, chunk.bytes.get(), chunk.length)) {
        parts.Cancel();
        return error;
      }
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
