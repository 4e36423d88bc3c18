#include "memory/EditRoom.h"

#include "memory/MemoryHeadroom.h"

namespace {
// What one edit is counted as taking: its bytes and a chunk or two.
constexpr uint64_t kPerEdit = uint64_t(128) << 10;
} // namespace

EditRoom::EditRoom() : left_(MemoryHeadroom::Available()) {}

void EditRoom::Refresh() {
  left_ = MemoryHeadroom::Available();
}

bool EditRoom::Ample(uint64_t insertedBytes) {
  const uint64_t need = insertedBytes + kMargin;
  if (left_ < need) {
    left_ = MemoryHeadroom::Available();
    if (left_ < need)
      return false;
  }
  left_ -= insertedBytes + kPerEdit;
  return true;
}
