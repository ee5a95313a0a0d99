#pragma once
// Hand-made MPEG audio frames: a header from its fields, followed by body bytes.
#include <cstdint>
#include <vector>

namespace sonavix::test {

struct HeaderFields {
    uint32_t id = 1;           // 1 MPEG-1, 0 lower sampling frequencies
    uint32_t layerCode = 1;    // as coded: 1 = Layer III, 2 = II, 3 = I, 0 reserved
    uint32_t protection = 1;   // 0 = CRC word follows
    uint32_t bitrateIndex = 9; // 128 kbit/s for MPEG-1 Layer III
    uint32_t samplingFrequency = 0;
    uint32_t padding = 0;
    uint32_t mode = 0; // 3 = single channel
    uint32_t modeExtension = 0;
    uint32_t syncBits = 0xFFF; // the 12 sync bits
};

uint32_t MakeHeader(const HeaderFields& fields);

// Header bytes, then body; body is padded with zeros or cut to bodyLength bytes.
std::vector<uint8_t> MakeFrame(const HeaderFields& fields, const std::vector<uint8_t>& body,
                               uint32_t bodyLength);

// Frame length in bytes with the header, by the reader's rule (for Layer III headers).
uint32_t FrameLengthOf(const HeaderFields& fields);

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes);

} // namespace sonavix::test
