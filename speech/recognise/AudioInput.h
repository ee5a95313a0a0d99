#pragma once
// Recordings as the recogniser wants them: read from WAV or MP3, mixed to mono and resampled.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sonavix::speech {

struct MonoAudio {
    std::vector<float> samples; // full scale 1.0
    uint32_t rate = 0;
};

// Larger files are refused: a word or a sentence never comes near.
constexpr size_t kMaxAudioFileBytes = 64u << 20;

// RIFF WAV (8/16/24/32-bit integer or 32-bit float PCM, any channel count) or MPEG Layer III,
// told apart by content. nullopt with a reason when the bytes are neither.
std::optional<MonoAudio> ParseAudio(std::span<const uint8_t> bytes, std::string* error);
std::optional<MonoAudio> LoadAudioFile(const std::string& path, std::string* error);

// Band-limited resampling (windowed sinc); the same rate gives a copy.
std::vector<float> Resample(std::span<const float> in, uint32_t from, uint32_t to);

// 16 kHz 16-bit mono, clipped to range.
std::vector<int16_t> ToRecogniserInput(const MonoAudio& audio);

} // namespace sonavix::speech
