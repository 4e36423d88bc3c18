#include "editor/ScrollMapping.h"

#include <algorithm>

void ScrollMapping::SetRange(int64_t maximum, int64_t page) {
  maximum_ = std::max<int64_t>(0, maximum);
  page_ = std::max<int64_t>(1, page);
}

int ScrollMapping::BarMaximum() const {
  return static_cast<int>(std::min<int64_t>(maximum_, kBarLimit));
}

int ScrollMapping::BarPage() const {
  if (!Scaled())
    return static_cast<int>(std::min<int64_t>(page_, kBarLimit));
  // The page's share of the whole, at least one step.
  const auto scaled = static_cast<__int128>(page_) * kBarLimit / maximum_;
  return static_cast<int>(std::max<__int128>(1, scaled));
}

int ScrollMapping::ToBar(int64_t position) const {
  position = std::clamp<int64_t>(position, 0, maximum_);
  if (!Scaled())
    return static_cast<int>(position);
  return static_cast<int>(static_cast<__int128>(position) * kBarLimit / maximum_);
}

int64_t ScrollMapping::FromBar(int value) const {
  value = std::clamp(value, 0, BarMaximum());
  if (!Scaled())
    return value;
  return static_cast<int64_t>(static_cast<__int128>(value) * maximum_ / kBarLimit);
}
