#include "Mp3Input.h"

#include "mplay/DecodeMono.h"

bool DecodeMp3(const std::vector<uint8_t>& bytes, sonavix::speech::Sound& sound) {
    std::vector<int16_t> mono;
    uint32_t rate = 0;
    if (!mplay::DecodeMono(bytes, mono, rate)) {
        return false;
    }
    sound = sonavix::speech::FromPcm16(mono, rate);
    return true;
}
