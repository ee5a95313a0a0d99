// Values derived from an MPEG audio frame header.
//   in:  the four header bytes (FrameHeader::bits), layer() already holding the layer number
//   out: bitrate in bit/s, sample rate in Hz, lengths in bytes
#include "mplay/FrameHeader.h"

namespace mplay {
namespace {

// kbit/s by [ID][layer number - 1][bitrate_index]; index 0 (free format) and 15 give 0.
constexpr uint16_t kBitrateKbps[2][3][16] = {
    // ID 0: lower sampling frequencies
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    // ID 1
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};

// Hz by [ID][sampling_frequency]; the reserved index gives 1 so that nothing divides by zero.
constexpr uint32_t kSampleRate[2][4] = {{22050, 24000, 16000, 1}, {44100, 48000, 32000, 1}};

} // namespace

uint32_t FrameHeader::Bitrate() const {
    // The reserved layer code has no row: it reads as bitrate 0, which ends the stream.
    const uint32_t layerNumber = layer();
    if (layerNumber == 0) {
        return 0;
    }
    return kBitrateKbps[ID()][layerNumber - 1][bitrate_index()] * 1000u;
}

uint32_t FrameHeader::SampleRate() const {
    return kSampleRate[ID()][sampling_frequency()];
}

uint32_t FrameHeader::FrameLength() const {
    uint32_t length = 144u * Bitrate() / SampleRate();
    if (ID() == 0) {
        length >>= 1;
    }
    return length + padding_bit();
}

int32_t FrameHeader::BodyLength() const {
    return static_cast<int32_t>(FrameLength()) - 4;
}

uint32_t FrameHeader::CrcLength() const {
    return protection_bit() == 0 ? 2 : 0;
}

uint32_t FrameHeader::SideInfoLength() const {
    const bool mono = mode() == 3;
    if (ID() == 1) {
        return mono ? 17 : 32;
    }
    return mono ? 9 : 17;
}

int32_t FrameHeader::MainDataLength() const {
    if (layer() != 3) {
        return 0;
    }
    return static_cast<int32_t>(FrameLength()) - 4 - static_cast<int32_t>(CrcLength()) -
           static_cast<int32_t>(SideInfoLength());
}

} // namespace mplay
