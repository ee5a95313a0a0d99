#pragma once
// Damaged recordings made from good ones, each the way real files go wrong: cut short, blanked,
// overwritten with noise, bit rot, a tag that looks like frames, the wrong layer, and side
// information that claims more spectral values than a granule holds.
#include <cstdint>
#include <string>
#include <vector>

namespace sonavix::hardening {

using Bytes = std::vector<uint8_t>;

struct MalformedInput {
    std::string name;
    Bytes bytes;
};

Bytes ReadBytes(const std::string& path);

// Offset of the first frame header the stream reader would accept at the start, and the frame
// starts of a clean stream (headers chained by their lengths).
std::vector<size_t> FrameStarts(const Bytes& stream);

Bytes Filled(size_t size, uint8_t value);
Bytes Random(size_t size, uint32_t seed);
// Inverts one bit of every 97th byte, the bit moving through the byte.
Bytes BitFlipped(Bytes stream);
// An ID3v2 tag whose body repeats the given four header bytes, then the stream.
Bytes WithFalseSyncTag(const Bytes& stream, const uint8_t header[4], size_t tagBytes);
// Sets big_values to its maximum in every granule of every frame, and part2_3_length too when
// asked, so that the Huffman data seems to run far past the frame's main data.
Bytes WithHugeBigValues(Bytes stream, bool longestPart23);

// The whole set for one good stream, names prefixed with label.
std::vector<MalformedInput> MalformedFrom(const std::string& label, const Bytes& stream);

} // namespace sonavix::hardening
