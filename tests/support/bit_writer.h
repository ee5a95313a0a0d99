#pragma once
// Builds bit strings for hand-made frames and granules, most significant bit first.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sonavix::test {

class BitWriter {
  public:
    // The low `bits` bits of value, most significant first; bits from 0 to 32.
    void Put(uint32_t value, int bits);
    // A string of '0' and '1'; any other character is ignored (for readability: "0110 1").
    void Put(std::string_view bits);
    void PutBytes(const std::vector<uint8_t>& bytes);
    // Zero bits up to the next byte boundary.
    void AlignByte();

    std::size_t BitCount() const { return m_bits; }
    // The bytes written, the last one padded with zero bits.
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // The bytes as big-endian 32-bit words, zero-padded to at least minWords words.
    std::vector<uint32_t> Words(std::size_t minWords = 0) const;

  private:
    std::vector<uint8_t> m_bytes;
    std::size_t m_bits = 0;
};

} // namespace sonavix::test
