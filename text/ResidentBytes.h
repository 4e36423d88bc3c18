#pragma once
// A block of text bytes in memory, counted in TextBudget for as long as it
// lives: the one place where text memory is accounted, made and given back.

#include <cstddef>
#include <memory>

class ResidentBytes {
public:
  ResidentBytes() = default;
  ~ResidentBytes() { Release(); }
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
  void Allocate(std::size_t bytes);

  char* get() const { return block_.get(); }
  explicit operator bool() const { return block_ != nullptr; }
  char& operator[](std::size_t i) const { return block_[i]; }

private:
  void Count(int sign) const;
  // Gives the block up: one of the common size is kept for the next.
  void Release();
  void Swap(ResidentBytes& other) noexcept {
    block_.swap(other.block_);
    std::swap(bytes_, other.bytes_);
  }

  std::unique_ptr<char[]> block_;
  std::size_t bytes_ = 0;
};
