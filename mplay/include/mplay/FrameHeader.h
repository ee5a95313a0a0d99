#pragma once
#include <cstdint>

namespace mplay {

// One MPEG audio frame header: the four header bytes with the stream's first byte in bit 31,
// and the lengths that follow from it.
struct FrameHeader {
    uint32_t bits = 0;

    uint32_t syncword() const { return bits >> 20; }
    uint32_t ID() const { return (bits >> 19) & 1; }
    // As coded (3 = Layer I ... 0 reserved) until the stream has taken the frame, then the layer
    // number (1, 2, 3; reserved stays 0).
    uint32_t layer() const { return (bits >> 17) & 3; }
    uint32_t protection_bit() const { return (bits >> 16) & 1; }
    uint32_t bitrate_index() const { return (bits >> 12) & 15; }
    uint32_t sampling_frequency() const { return (bits >> 10) & 3; }
    uint32_t padding_bit() const { return (bits >> 9) & 1; }
    uint32_t mode() const { return (bits >> 6) & 3; }
    uint32_t mode_extension() const { return (bits >> 4) & 3; }

    void SetLayer(uint32_t value) { bits = (bits & ~(3u << 17)) | ((value & 3) << 17); }

    // Derived values; layer() must already hold the layer number.
    uint32_t Bitrate() const;    // bits per second, 0 for free format, index 15 or layer 0
    uint32_t SampleRate() const; // Hz; the reserved index gives 1
    uint32_t FrameLength() const;
    int32_t BodyLength() const; // negative when the bitrate is 0
    uint32_t CrcLength() const;
    uint32_t SideInfoLength() const;
    int32_t MainDataLength() const; // 0 for layers other than III
};

} // namespace mplay
