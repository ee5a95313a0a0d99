#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace mplay {

// Decodes an MPEG audio Layer III stream held in memory with the frame loop, its two channels
// averaged (truncated toward zero) into mono; rate is the stream's. False, with mono empty and
// rate untouched, when nothing decodes: no frame, a reserved rate, or headers that decode to no
// sound.
bool DecodeMono(std::span<const uint8_t> bytes, std::vector<int16_t>& mono, uint32_t& rate);

} // namespace mplay
