// Main-data bit reservoir: a ring of 4096 byte slots filled from frame bodies and read bitwise.
//   in:  bytes from PutByte
//   out: bits, most significant first; BitsRead counts them (less 32768 per 4096-byte rewind)
// Every slot index is reduced modulo 4096 where it is used, so no counter value that a stream
// can produce reaches outside the ring.
#include "decode/Debug.h"
#include "decode/LayerIIIDecoder.h"
#include "decode/ReservoirBits.h"

#include <algorithm>
#include <cstring>

namespace mplay {
namespace {
constexpr int32_t kSlotMask = LayerIIIDecoder::kReservoirSize - 1;
} // namespace

void LayerIIIDecoder::PutByte(uint32_t value) {
    const int32_t slot = m_resWrite & kSlotMask;
    m_reservoir[slot] = static_cast<uint8_t>(value);
    if (slot < kReservoirTail) {
        m_reservoir[kReservoirSize + slot] = static_cast<uint8_t>(value);
    }
    m_resWrite = (slot + 1) & kSlotMask;
}

void LayerIIIDecoder::PutFrameBytes(int32_t count) {
    // Main data starts on a byte boundary in every stream (the side information is whole bytes),
    // so whole bytes can be taken from the words; the general reader covers any other start.
    if (m_frameBit % 8 != 0) {
        for (int32_t i = 0; i < count; ++i) {
            PutByte(GetFrameBits(8));
        }
        return;
    }
    // Past the word buffer the bytes are zeros, as GetFrameBits reads them.
    const int32_t available = static_cast<int32_t>(m_frameEnd - m_frameWord) * 4 - m_frameBit / 8;
    const int32_t fromWords = std::clamp(count, 0, std::max(available, 0));
    const uint32_t* word = m_frameWord;
    int32_t bit = m_frameBit;
    int32_t write = m_resWrite;
    uint8_t* ring = m_reservoir.get();
    int32_t left = fromWords;
    auto putNext = [&] {
        ring[write & kSlotMask] = static_cast<uint8_t>(*word >> (24 - bit));
        write = (write + 1) & kSlotMask;
        bit += 8;
        if (bit == 32) {
            bit = 0;
            ++word;
        }
        --left;
    };
    while (left > 0 && bit != 0) {
        putNext();
    }
    for (; left >= 4; left -= 4, ++word) {
        for (int k = 0; k < 4; ++k) {
            ring[(write + k) & kSlotMask] = static_cast<uint8_t>(*word >> (24 - 8 * k));
        }
        write = (write + 4) & kSlotMask;
    }
    while (left > 0) {
        putNext();
    }
    m_frameWord = word;
    m_frameBit = bit;
    m_resWrite = write;
    std::memcpy(m_reservoir.get() + kReservoirSize, m_reservoir.get(), kReservoirTail);
    for (int32_t i = fromWords; i < count; ++i) {
        PutByte(0);
    }
}

uint32_t LayerIIIDecoder::GetBits(int n) {
    if (n <= 0) {
        return 0;
    }
    // Longer reads are skips: only the position matters, and the value is their last 32 bits.
    if (n > 32) {
        reservoir::AdvanceBits(m_resBitsRead, m_resByte, m_resBitsLeft, n - 32);
        n = 32;
    }
    const int32_t byte = m_resBitsLeft == 0 ? m_resByte + 1 : m_resByte;
    const int used = m_resBitsLeft == 0 ? 0 : 8 - m_resBitsLeft;
    const uint64_t word = reservoir::LoadBigEndian64(m_reservoir.get() + (byte & kSlotMask));
    reservoir::AdvanceBits(m_resBitsRead, m_resByte, m_resBitsLeft, n);
    return static_cast<uint32_t>((word << used) >> (64 - n));
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
