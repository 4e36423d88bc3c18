#pragma once
// A block of text bytes in memory, counted in TextBudget for as long as it
// lives: the one place where text memory is accounted.

#include <cstddef>
#include <memory>

class ResidentBytes {
public:
  ResidentBytes() = default;
  ~ResidentBytes() { Count(-1); }
  ResidentBytes(const ResidentBytes&) = delete;
  ResidentBytes& operator=(const ResidentBytes&) = delete;
  ResidentBytes(ResidentBytes&& other) noexcept { Swap(other); }
  ResidentBytes& operator=(ResidentBytes&& other) noexcept {
    ResidentBytes gone(std::move(*this));
    Swap(other);
    return *this;
  }

  // Takes `block` of `bytes` (nullptr for none), giving up the one held.
  void Reset(std::unique_ptr<char[]> block, std::size_t bytes);
  // A new block of `bytes`, its contents unspecified.
  void Allocate(std::size_t bytes) { Reset(std::unique_ptr<char[]>(new char[bytes]), bytes); }

  char* get() const { return block_.get(); }
  explicit operator bool() const { return block_ != nullptr; }
  char& operator[](std::size_t i) const { return block_[i]; }

private:
  void Count(int sign) const;
  void Swap(ResidentBytes& other) noexcept {
    block_.swap(other.block_);
    std::swap(bytes_, other.bytes_);
  }

  std::unique_ptr<char[]> block_;
  std::size_t bytes_ = 0;
};
