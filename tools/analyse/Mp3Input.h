#pragma once
#include "speech/Sound.h"

#include <cstdint>
#include <vector>

// Decodes an MPEG audio Layer III file held in memory with the player's own frame loop, channels
// averaged to mono. False when nothing decodes.
bool DecodeMp3(const std::vector<uint8_t>& bytes, sonavix::speech::Sound& sound);
