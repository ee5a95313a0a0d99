#include "malformed_inputs.h"

#include <fstream>
#include <iterator>
#include <random>

namespace sonavix::hardening {

namespace {

constexpr uint32_t kBitrates[2][15] = {
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
constexpr uint32_t kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};

uint32_t HeaderAt(const Bytes& s, size_t pos) {
    return uint32_t(s[pos]) << 24 | uint32_t(s[pos + 1]) << 16 | uint32_t(s[pos + 2]) << 8 |
           s[pos + 3];
}

// Length of a Layer III frame by the reader's rule; 0 when the header does not give one.
uint32_t FrameLength(uint32_t h) {
    const uint32_t id = (h >> 19) & 1;
    const uint32_t br = (h >> 12) & 15;
    const uint32_t sf = (h >> 10) & 3;
    if ((h >> 20) != 0xFFF || ((h >> 17) & 3) != 1 || br == 0 || br == 15 || sf == 3)
        return 0;
    uint32_t length = 144 * kBitrates[id][br] * 1000 / kRates[id][sf];
    if (id == 0)
        length >>= 1;
    return length + ((h >> 9) & 1);
}

void SetBits(Bytes& s, size_t bitPos, int width, uint32_t value) {
    for (int i = 0; i < width; ++i) {
        const size_t bit = bitPos + i;
        const uint8_t mask = uint8_t(0x80 >> (bit % 8));
        if ((value >> (width - 1 - i)) & 1)
            s[bit / 8] |= mask;
        else
            s[bit / 8] &= uint8_t(~mask);
    }
}

} // namespace

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<size_t> FrameStarts(const Bytes& stream) {
    std::vector<size_t> starts;
    size_t pos = 0;
    while (pos + 4 <= stream.size() && FrameLength(HeaderAt(stream, pos)) == 0)
        ++pos;
    while (pos + 4 <= stream.size()) {
        const uint32_t length = FrameLength(HeaderAt(stream, pos));
        if (length == 0 || pos + length > stream.size())
            break;
        starts.push_back(pos);
        pos += length;
    }
    return starts;
}

Bytes Filled(size_t size, uint8_t value) {
    return Bytes(size, value);
}

Bytes Random(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out)
        b = uint8_t(rng());
    return out;
}

Bytes BitFlipped(Bytes stream) {
    for (size_t i = 0; i < stream.size(); i += 97)
        stream[i] ^= uint8_t(1u << (i / 97 % 8));
    return stream;
}

Bytes WithFalseSyncTag(const Bytes& stream, const uint8_t header[4], size_t tagBytes) {
    Bytes out = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) // syncsafe size
        out.push_back(uint8_t((tagBytes >> shift) & 0x7F));
    for (size_t i = 0; i < tagBytes; ++i)
        out.push_back(header[i % 4]);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

Bytes WithHugeBigValues(Bytes stream, bool longestPart23) {
    for (size_t start : FrameStarts(stream)) {
        const uint32_t h = HeaderAt(stream, start);
        const bool mpeg1 = (h >> 19) & 1;
        const bool mono = ((h >> 6) & 3) == 3;
        const int channels = mono ? 1 : 2;
        size_t bit = (start + 4 + (((h >> 16) & 1) ? 0 : 2)) * 8;
        // main_data_begin, private bits, scfsi; then the granule blocks of each channel.
        bit += mpeg1 ? 9 + (mono ? 5 : 3) + 4 * channels : 8 + (mono ? 1 : 2);
        const int granules = mpeg1 ? 2 : 1;
        const int blockBits = mpeg1 ? 59 : 63;
        for (int g = 0; g < granules * channels; ++g) {
            if (longestPart23)
                SetBits(stream, bit + size_t(g) * blockBits, 12, 4095); // part2_3_length
            SetBits(stream, bit + size_t(g) * blockBits + 12, 9, 511);  // big_values
        }
    }
    return stream;
}

std::vector<MalformedInput> MalformedFrom(const std::string& label, const Bytes& stream) {
    std::vector<MalformedInput> out;
    const std::vector<size_t> starts = FrameStarts(stream);
    if (starts.size() > 4) {
        // Inside the body of a frame, and inside its header.
        const size_t mid = starts[starts.size() / 2];
        out.push_back({label + ".cut_mid_body", Bytes(stream.begin(), stream.begin() + mid + 40)});
        out.push_back({label + ".cut_in_header", Bytes(stream.begin(), stream.begin() + mid + 2)});
    }
    out.push_back({label + ".bit_flipped", BitFlipped(stream)});
    out.push_back({label + ".huge_big_values", WithHugeBigValues(stream, false)});
    out.push_back({label + ".huge_big_values_part23", WithHugeBigValues(stream, true)});
    if (stream.size() >= 4 && !starts.empty()) {
        // False syncs shaped like the stream's own frames, and ones whose bitrate is free format.
        const uint8_t* real = stream.data() + starts.front();
        const uint8_t same[4] = {real[0], real[1], real[2], real[3]};
        const uint8_t free[4] = {real[0], real[1], uint8_t(real[2] & 0x0F), real[3]};
        out.push_back({label + ".tag_false_syncs", WithFalseSyncTag(stream, same, 4096)});
        out.push_back({label + ".tag_free_syncs", WithFalseSyncTag(stream, free, 4096)});
    }
    return out;
}

} // namespace sonavix::hardening
