#include "cli/OrderedOutput.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Chunks of one file that may wait for the writer, and files that may be
// started beyond the one being written: together they bound the memory.
constexpr std::size_t kChunksAhead = 4;
constexpr std::size_t kNone = ~std::size_t(0);

// A piece of one file's output: bytes, or a message about the file.
struct Item {
  std::unique_ptr<char[]> bytes;
  std::size_t length = 0;
  std::string message;
};

struct FileSlot {
  std::deque<Item> items;
  bool done = false;
};

// What the workers and the writer share, all under one lock. Only the files
// from the one being written to the last one claimed have a slot, in a ring:
// one large file may be many thousand parts.
class Schedule {
public:
  Schedule(std::size_t count, unsigned workers)
      : count_(count), filesAhead_(workers + 1), slots_(filesAhead_) {}

  // The next file to scan, or kNone when none is left or the run is over.
  std::size_t Claim() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return cancelled_ || next_ < written_ + filesAhead_; });
    if (cancelled_ || next_ >= count_)
      return kNone;
    return next_++;
  }
  enum class Pushed { Queued, WriteYourself, Cancelled };
  // Queues `item` for file `index` once the writer has room for it. Bytes
  // (`mayWrite`) of the file being written, when nothing of it waits or is
  // being written, the caller writes itself: a file whose output is large
  // then goes out without a hand-over per chunk. It says so with WrittenBy
  // or Fail when done.
  Pushed Push(std::size_t index, Item& item, bool mayWrite) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::deque<Item>& items = Slot(index).items;
    changed_.wait(lock, [&] { return cancelled_ || items.size() < kChunksAhead; });
    if (cancelled_)
      return Pushed::Cancelled;
    if (mayWrite && index == written_ && items.empty() && !writing_) {
      writing_ = true;
      return Pushed::WriteYourself;
    }
    items.push_back(std::move(item));
    changed_.notify_all();
    return Pushed::Queued;
  }
  std::unique_ptr<char[]> NewBuffer() {
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
  void Finish(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot(index).done = true;
    changed_.notify_all();
  }
  // The next item of file `index`, waiting for it; false at the file's end
  // or when the run is over. The writer then writes it, and says so with
  // Recycle.
  bool Pop(std::size_t index, Item& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    FileSlot& slot = Slot(index);
    changed_.wait(lock, [&] { return cancelled_ || slot.done || !slot.items.empty(); });
    if (cancelled_ || slot.items.empty())
      return false;
    item = std::move(slot.items.front());
    slot.items.pop_front();
    writing_ = item.bytes != nullptr;
    changed_.notify_all();
    return true;
  }
  void Recycle(std::unique_ptr<char[]> buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    writing_ = false;
    if (buffer && spare_.size() < kChunksAhead)
      spare_.push_back(std::move(buffer));
    changed_.notify_all();
  }
  // A worker wrote its chunk itself.
  void WrittenBy() {
    std::lock_guard<std::mutex> lock(mutex_);
    writing_ = false;
    changed_.notify_all();
  }
  void Written(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot(index) = FileSlot(); // for the file filesAhead_ on
    written_ = index + 1;
    changed_.notify_all();
  }
  // Ends the run: a write failed (`error`), or the writer stopped.
  void Fail(int error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error_ == 0)
      error_ = error;
    cancelled_ = true;
    changed_.notify_all();
  }
  int Error() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

private:
  FileSlot& Slot(std::size_t index) { return slots_[index % filesAhead_]; }

  std::mutex mutex_;
  std::condition_variable changed_;
  const std::size_t count_, filesAhead_;
  std::vector<FileSlot> slots_;
  std::vector<std::unique_ptr<char[]>> spare_;
  std::size_t next_ = 0, written_ = 0;
  bool writing_ = false; // bytes of the file being written are going out
  bool cancelled_ = false;
  int error_ = 0;
};

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

// Hands a worker's full buffers to the file's queue, or writes them itself
// when its file is the one being written.
class SlotTaker : public ChunkTaker {
public:
  SlotTaker(Schedule& schedule, std::size_t index, int fd)
      : schedule_(schedule), index_(index), fd_(fd) {}
  std::unique_ptr<char[]> Take(std::unique_ptr<char[]> buffer, std::size_t used) override {
    Item item;
    item.bytes = std::move(buffer);
    item.length = used;
    switch (schedule_.Push(index_, item, true)) {
    case Schedule::Pushed::Cancelled:
      return nullptr;
    case Schedule::Pushed::Queued:
      return schedule_.NewBuffer();
    case Schedule::Pushed::WriteYourself:
      break;
    }
    if (const int error = WriteAll(fd_, item.bytes.get(), used)) {
      schedule_.Fail(error);
      return nullptr;
    }
    schedule_.WrittenBy();
    return std::move(item.bytes);
  }

private:
  Schedule& schedule_;
  const std::size_t index_;
  const int fd_;
};

void Work(Schedule& schedule, int fd, const FileJob& job) {
  for (;;) {
    const std::size_t index = schedule.Claim();
    if (index == kNone)
      return;
    SlotTaker taker(schedule, index, fd);
    FileLineSink out;
    out.OpenChunks(taker);
    const auto post = [&](const std::string& message) {
      out.Flush(); // the bytes before the message go before it
      Item item;
      item.message = message;
      schedule.Push(index, item, false);
    };
    job(index, out, post);
    out.Flush();
    schedule.Finish(index);
  }
}

// Writes file `index` as its items come; 0 or the errno of a failed write.
int WriteFile(Schedule& schedule, std::size_t index, int fd,
              const std::function<void(const std::string&)>& report) {
  Item item;
  while (schedule.Pop(index, item)) {
    if (!item.bytes) {
      report(item.message);
      continue;
    }
    const int error = WriteAll(fd, item.bytes.get(), item.length);
    schedule.Recycle(std::move(item.bytes));
    if (error != 0)
      return error;
  }
  return 0;
}

} // namespace

int WriteInOrder(std::size_t count, unsigned workers, int fd, const FileJob& job,
                 const std::function<void(const std::string&)>& report) {
  Schedule schedule(count, workers);
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < workers; ++i)
    threads.emplace_back([&] { Work(schedule, fd, job); });
  for (std::size_t index = 0; index < count; ++index) {
    const int error = WriteFile(schedule, index, fd, report);
    if (error != 0)
      schedule.Fail(error);
    if (schedule.Error() != 0)
      break;
    schedule.Written(index);
  }
  for (std::thread& thread : threads)
    thread.join();
  return schedule.Error();
}
