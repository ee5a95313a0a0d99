#include "Mp3Input.h"

#include "mplay/DecodeMono.h"

bool DecodeMp3(const std::vector<uint8_t>& bytes, sonavix::speech::Sound& sound) {
    std::vector<int16_t> mono;
    uint32_t rate = 0;
    if (!mplay::DecodeMono(bytes, mono, rate)) {
        return false;
    }
    sound.rate = rate;
    sound.samples.resize(mono.size());
    for (size_t i = 0; i < mono.size(); ++i) {
        sound.samples[i] = static_cast<float>(mono[i]) / 32768.0f;
    }
    return true;
}
