#include "extract/ReadAhead.h"

#include <chrono>
#include <new>

ReadAhead::Buffer ReadAhead::NewBuffer(std::size_t size) {
  Buffer buffer(static_cast<uint8_t*>(std::aligned_alloc(64, size)));
  if (!buffer)
    throw std::bad_alloc();
  return buffer;
}

ReadAhead::ReadAhead(InputFile& input, BlockScanner* ahead)
    : input_(input), ahead_(ahead), lengths_(kRingBlocks) {
  for (std::size_t i = 0; i < kRingBlocks; ++i)
    buffers_.push_back(NewBuffer(kBlockSize));
  thread_ = std::thread([this] { Run(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

int64_t ReadAhead::Next(const uint8_t*& data, int waitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto ready = [this] { return filled_ > 0; };
  if (waitMs < 0)
    changed_.wait(lock, ready);
  else if (!changed_.wait_for(lock, std::chrono::milliseconds(waitMs), ready))
    return kNotYet;
  data = buffers_[head_].get();
  return lengths_[head_];
}

void ReadAhead::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    head_ = (head_ + 1) % buffers_.size();
    --filled_;
  }
  changed_.notify_all();
}

void ReadAhead::Run() {
  std::size_t tail = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || filled_ < buffers_.size(); });
      if (stop_)
        return;
    }
    const int64_t n = input_.Read(buffers_[tail].get(), kBlockSize);
    if (n < 0)
      error_ = input_.Error();
    if (n > 0 && ahead_ != nullptr)
      ahead_->ScanAhead(buffers_[tail].get(), static_cast<std::size_t>(n));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lengths_[tail] = n;
      ++filled_;
    }
    changed_.notify_all();
    if (n <= 0)
      return;
    tail = (tail + 1) % buffers_.size();
  }
}
