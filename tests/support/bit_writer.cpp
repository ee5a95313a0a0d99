#include "bit_writer.h"

#include <algorithm>
#include <stdexcept>

namespace sonavix::test {

void BitWriter::Put(uint32_t value, int bits) {
    if (bits < 0 || bits > 32) {
        throw std::invalid_argument("BitWriter::Put: width out of range");
    }
    for (int i = bits - 1; i >= 0; --i) {
        if (m_bits % 8 == 0) {
            m_bytes.push_back(0);
        }
        if ((value >> i) & 1) {
            m_bytes.back() |= static_cast<uint8_t>(0x80u >> (m_bits % 8));
        }
        ++m_bits;
    }
}

void BitWriter::Put(std::string_view bits) {
    for (char c : bits) {
        if (c == '0' || c == '1') {
            Put(c == '1' ? 1u : 0u, 1);
        }
    }
}

void BitWriter::PutBytes(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        Put(b, 8);
    }
}

void BitWriter::AlignByte() {
    while (m_bits % 8 != 0) {
        Put(0u, 1);
    }
}

std::vector<uint32_t> BitWriter::Words(std::size_t minWords) const {
    std::vector<uint32_t> words(std::max(minWords, (m_bytes.size() + 3) / 4), 0);
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        words[i / 4] |= uint32_t{m_bytes[i]} << (24 - 8 * (i % 4));
    }
    return words;
}

} // namespace sonavix::test
