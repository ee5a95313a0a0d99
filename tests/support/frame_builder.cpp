#include "frame_builder.h"

namespace sonavix::test {

uint32_t MakeHeader(const HeaderFields& f) {
    return (f.syncBits & 0xFFF) << 20 | (f.id & 1) << 19 | (f.layerCode & 3) << 17 |
           (f.protection & 1) << 16 | (f.bitrateIndex & 15) << 12 |
           (f.samplingFrequency & 3) << 10 | (f.padding & 1) << 9 | (f.mode & 3) << 6 |
           (f.modeExtension & 3) << 4;
}

std::vector<uint8_t> MakeFrame(const HeaderFields& fields, const std::vector<uint8_t>& body,
                               uint32_t bodyLength) {
    const uint32_t h = MakeHeader(fields);
    std::vector<uint8_t> frame = {static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16),
                                  static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h)};
    for (uint32_t i = 0; i < bodyLength; ++i) {
        frame.push_back(i < body.size() ? body[i] : 0);
    }
    return frame;
}

uint32_t FrameLengthOf(const HeaderFields& f) {
    static const uint32_t kMpeg1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                        112, 128, 160, 192, 224, 256, 320, 0};
    static const uint32_t kMpeg2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                        64, 80, 96, 112, 128, 144, 160, 0};
    static const uint32_t kRate[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
    if (f.samplingFrequency > 2) {
        return 0;
    }
    const uint32_t bitrate = (f.id ? kMpeg1 : kMpeg2)[f.bitrateIndex & 15] * 1000;
    uint32_t length = 144 * bitrate / kRate[f.id & 1][f.samplingFrequency];
    if (f.id == 0) {
        length >>= 1;
    }
    return length + f.padding;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace sonavix::test
