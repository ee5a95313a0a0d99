#pragma once
#include "speech/Sound.h"

#include <cstdint>
#include <vector>

// An MPEG audio Layer III file held in memory as the analysis's mono sound (mplay::DecodeMono).
// False when nothing decodes.
bool DecodeMp3(const std::vector<uint8_t>& bytes, sonavix::speech::Sound& sound);
