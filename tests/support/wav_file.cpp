#include "wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace sonavix::test {
namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

bool ReadWav(const std::string& path, WavData& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    out = WavData{};
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint8_t* chunk = file.data() + pos;
        const size_t size = Le32(chunk + 4);
        const size_t body = pos + 8;
        const size_t available = std::min(size, file.size() - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            const uint16_t format = Le16(chunk + 8);
            out.channels = Le16(chunk + 10);
            out.sampleRate = Le32(chunk + 12);
            out.bitsPerSample = Le16(chunk + 22);
            out.isFloat = format == 3;
            haveFormat = (format == 1 && out.bitsPerSample == 16) ||
                         (format == 3 && out.bitsPerSample == 32);
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            const uint8_t* p = file.data() + body;
            if (out.isFloat) {
                for (size_t i = 0; i + 4 <= available; i += 4) {
                    const uint32_t bits = Le32(p + i);
                    float f;
                    std::memcpy(&f, &bits, sizeof f);
                    out.samples.push_back(f);
                }
            } else {
                for (size_t i = 0; i + 2 <= available; i += 2) {
                    out.samples.push_back(static_cast<int16_t>(Le16(p + i)) / 32768.0);
                }
            }
            return out.channels > 0;
        }
        pos = body + size + (size & 1);
    }
    return false;
}

} // namespace sonavix::test
