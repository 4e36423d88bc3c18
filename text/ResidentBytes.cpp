#include "text/ResidentBytes.h"

#include "text/TextBudget.h"

void ResidentBytes::Reset(std::unique_ptr<char[]> block, std::size_t bytes) {
  Count(-1);
  block_ = std::move(block);
  bytes_ = block_ ? bytes : 0;
  Count(1);
}

void ResidentBytes::Count(int sign) const {
  if (bytes_ != 0)
    TextBudget::AddResident(sign * static_cast<int64_t>(bytes_));
}
