#include "text/ResidentBytes.h"

#include "text/FreeBlocks.h"
#include "text/TextBudget.h"

void ResidentBytes::Reset(std::unique_ptr<char[]> block, std::size_t bytes) {
  Release();
  block_ = std::move(block);
  bytes_ = block_ ? bytes : 0;
  Count(1);
}

void ResidentBytes::Allocate(std::size_t bytes) {
  std::unique_ptr<char[]> block;
  if (bytes == FreeBlocks::kBlockBytes)
    block = FreeBlocks::Take();
  if (!block)
    block.reset(new char[bytes]);
  Reset(std::move(block), bytes);
}

void ResidentBytes::Release() {
  Count(-1);
  if (block_ && bytes_ == FreeBlocks::kBlockBytes)
    FreeBlocks::Give(std::move(block_));
  block_.reset();
  bytes_ = 0;
}

void ResidentBytes::Count(int sign) const {
  if (bytes_ != 0)
    TextBudget::AddResident(sign * static_cast<int64_t>(bytes_));
}
