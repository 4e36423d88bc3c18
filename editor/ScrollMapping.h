#pragma once
// A scroll position counted in 64 bits (a line, a column) shown on a scroll
// bar, whose range is an int. Ranges that fit are shown one to one; larger
// ones are scaled onto the bar, so that the bar's ends still mean the first
// and the last position.

#include <cstdint>

class ScrollMapping {
public:
  // The largest bar maximum before positions are scaled.
  static constexpr int kBarLimit = 1 << 30;

  // Positions run from 0 to `maximum`; `page` positions fill the view.
  void SetRange(int64_t maximum, int64_t page);

  int64_t Maximum() const { return maximum_; }
  bool Scaled() const { return maximum_ > kBarLimit; }
  int BarMaximum() const;
  int BarPage() const;
  int ToBar(int64_t position) const;
  int64_t FromBar(int value) const;

private:
  int64_t maximum_ = 0;
  int64_t page_ = 1;
};
