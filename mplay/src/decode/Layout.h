#pragma once
// The shape of a Layer III granule, per channel: 32 subbands of 18 lines (frequency lines before
// the hybrid synthesis, time slots after it), 576 values in all.

namespace mplay {

constexpr int kSubbands = 32;
constexpr int kSlots = 18;
constexpr int kGranuleLines = kSubbands * kSlots;

} // namespace mplay
