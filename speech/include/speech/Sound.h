#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sonavix::speech {

// Mono samples at full scale 1.0 and their rate in Hz.
struct Sound {
    std::vector<float> samples;
    double rate = 16000.0;

    double Duration() const { return rate > 0 ? static_cast<double>(samples.size()) / rate : 0.0; }
};

// A sample as 16-bit PCM: rounded to nearest and clipped; not a number is silence.
inline int16_t ToPcm16(float s) {
    if (s != s) {
        return 0;
    }
    const long v = std::lround(static_cast<double>(s) * 32768.0);
    return static_cast<int16_t>(std::clamp(v, -32768L, 32767L));
}

inline std::vector<int16_t> ToPcm16(const Sound& sound) {
    std::vector<int16_t> pcm;
    pcm.reserve(sound.samples.size());
    for (const float s : sound.samples) {
        pcm.push_back(ToPcm16(s));
    }
    return pcm;
}

inline Sound FromPcm16(std::span<const int16_t> pcm, double rate) {
    Sound sound;
    sound.rate = rate;
    sound.samples.reserve(pcm.size());
    for (const int16_t s : pcm) {
        sound.samples.push_back(static_cast<float>(s) / 32768.0f);
    }
    return sound;
}

} // namespace sonavix::speech
