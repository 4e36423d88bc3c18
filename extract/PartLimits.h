#pragma once
// The limits a part of a scan in parts is judged by. They may change during
// a pass; a part keeps those it started with.

#include "settings/TextOptions.h"

#include <cstdint>

struct PartLimits {
  uint32_t minChar = 0;
  uint32_t maxChar = 0;

  static PartLimits Of(const TextOptions& options) { return {options.MinChar, options.MaxChar}; }
  void ApplyTo(TextOptions& options) const {
    options.MinChar = minChar;
    options.MaxChar = maxChar;
  }
  // In one word, so that they change at once for the workers.
  uint64_t Packed() const { return static_cast<uint64_t>(minChar) << 32 | maxChar; }
  static PartLimits Unpacked(uint64_t packed) {
    return {static_cast<uint32_t>(packed >> 32), static_cast<uint32_t>(packed)};
  }
  bool operator==(const PartLimits& other) const {
    return minChar == other.minChar && maxChar == other.maxChar;
  }
  bool operator!=(const PartLimits& other) const { return !(*this == other); }
};
