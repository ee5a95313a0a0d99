#pragma once
#include "speech/Sound.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sonavix::speech {

// Files above this are refused unread: a learner's attempt is seconds long.
inline constexpr std::size_t kMaxWavFileBytes = 64u << 20;

struct WavReadResult {
    bool ok = false;
    std::string error; // why not, in English, for logs and the command line
    Sound sound;       // channels averaged to mono
};

// Reads RIFF WAVE bytes: integer PCM of 8, 16, 24 or 32 bits or 32-bit float, any channel count
// up to 16. A data chunk that claims more than the bytes hold is read as far as it goes (a
// recording cut short by a crash keeps what it has).
WavReadResult ReadWav(std::span<const uint8_t> bytes);
WavReadResult ReadWavFile(const std::string& path);

// Mono 16-bit PCM, samples rounded and clipped to the 16-bit range.
std::vector<uint8_t> EncodeWav16(const Sound& sound);
// Writes beside path under a temporary name, flushes it to disk and renames it over path, so that
// a crash or a full disk leaves either the old file or the whole new one. False on any failure
// (the temporary file is then removed).
bool WriteWavFileAtomic(const std::string& path, const Sound& sound);

} // namespace sonavix::speech
