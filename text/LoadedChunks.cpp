#include "text/LoadedChunks.h"

const char* LoadedChunks::Find(const void* key) {
  for (Slot& slot : slots_)
    if (slot.owner.get() == key) {
      slot.used = ++clock_;
      return slot.bytes.get();
    }
  return nullptr;
}

char* LoadedChunks::Make(std::shared_ptr<const void> owner, std::size_t bytes) {
  Slot* oldest = &slots_[0];
  for (Slot& slot : slots_)
    if (slot.used < oldest->used)
      oldest = &slot;
  oldest->owner.reset();
  oldest->bytes.Allocate(bytes == 0 ? 1 : bytes);
  oldest->owner = std::move(owner);
  oldest->used = ++clock_;
  return oldest->bytes.get();
}

void LoadedChunks::Clear() {
  for (Slot& slot : slots_) {
    slot.owner.reset();
    slot.bytes.Reset(nullptr, 0);
    slot.used = 0;
  }
}
