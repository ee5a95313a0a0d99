// Main-data bit reservoir: a ring of 4096 byte slots filled from frame bodies and read bitwise.
//   in:  bytes from PutByte
//   out: bits, most significant first; BitsRead counts them (less 32768 per 4096-byte rewind)
// Every slot index is reduced modulo 4096 where it is used, so no counter value that a stream
// can produce reaches outside the ring.
#include "mplay/Debug.h"
#include "mplay/LayerIIIDecoder.h"

#include <algorithm>

namespace mplay {
namespace {
constexpr int32_t kSlotMask = LayerIIIDecoder::kReservoirSize - 1;
} // namespace

void LayerIIIDecoder::PutByte(uint32_t value) {
    m_reservoir[m_resWrite & kSlotMask] = value & 0xFF;
    m_resWrite = (m_resWrite + 1) & kSlotMask;
}

uint32_t LayerIIIDecoder::GetBits(int n) {
    if (n <= 0) {
        return 0;
    }
    m_resBitsRead += n;
    uint32_t value = 0; // for n above 32 (skips) only the position matters
    while (n > 0) {
        if (m_resBitsLeft == 0) {
            m_resBitsLeft = 8;
            ++m_resByte;
        }
        const int k = std::min(m_resBitsLeft, n);
        const uint32_t byte = m_reservoir[m_resByte & kSlotMask];
        const uint32_t bits = (byte >> (m_resBitsLeft - k)) & ((1u << k) - 1);
        value = (value << k) | bits;
        m_resBitsLeft -= k;
        n -= k;
    }
    return value;
}

void LayerIIIDecoder::RewindBits(int n) {
    if (n <= 0) {
        return;
    }
    m_resBitsRead -= n;
    m_resBitsLeft += n;
    // The same as stepping back one byte per 8 bits while more than 7 are left.
    m_resByte -= m_resBitsLeft / 8;
    m_resBitsLeft %= 8;
}

void LayerIIIDecoder::RewindBytes(int n) {
    m_resBitsRead -= 8 * n;
    m_resByte -= n;
}

uint32_t LayerIIIDecoder::GetFrameBits(int n) {
    MPLAY_ASSERT(n >= 0 && n <= 16);
    uint32_t value = 0;
    while (n > 0) {
        if (m_frameWord >= m_frameEnd) {
            return value << n; // past the word buffer: zeros, never a read outside it
        }
        const int k = std::min(32 - m_frameBit, n);
        const uint32_t bits = (*m_frameWord << m_frameBit) >> (32 - k);
        value = (value << k) | bits;
        m_frameBit += k;
        n -= k;
        if (m_frameBit == 32) {
            m_frameBit = 0;
            ++m_frameWord;
        }
    }
    return value;
}

} // namespace mplay
