#pragma once
// Reading the reservoir's byte ring many bits at a time, for the bit reader and the Huffman
// decoder. The ring repeats its first slots after the last (LayerIIIDecoder::kReservoirTail), so
// eight bytes can be loaded from any slot.
#include <bit>
#include <cstdint>
#include <cstring>

namespace mplay::reservoir {

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
#if defined(__GNUC__) || defined(__clang__)
        word = __builtin_bswap64(word);
#else
        word = 0;
        for (int k = 0; k < 8; ++k) {
            word = (word << 8) | p[k];
        }
#endif
    }
    return word;
}

// Advances the read position (byte, bits left in it) and the bit count by n bits, as n calls of
// Get1Bit would.
inline void AdvanceBits(int32_t& bitsRead, int32_t& byte, int32_t& left, int32_t n) {
    if (n <= 0) {
        return;
    }
    bitsRead += n;
    if (left == 0) {
        left = 8;
        ++byte;
    }
    if (n <= left) {
        left -= n;
        return;
    }
    const int32_t rest = n - left;
    byte += (rest + 7) / 8;
    left = (8 - rest % 8) % 8;
}

} // namespace mplay::reservoir
