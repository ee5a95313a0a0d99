#pragma once
// Test-side Layer III Huffman encoder, built from the plain code tables in
// ${SONAVIX_SHARED_DIR}/iso-tables/huffman_codes.csv and huffman_tables.csv, independent of the
// decoder's trees.
#include "bit_writer.h"

#include <string>
#include <vector>

namespace sonavix::test {

struct HuffCode {
    int x = 0; // pair tables: x, y; quadruple tables: x = 0, y = v*8 + w*4 + x*2 + y
    int y = 0;
    std::string bits; // the codeword, '0'/'1'
};

class HuffmanEncoder {
  public:
    // Loads the tables once; throws when the data files are missing.
    static const HuffmanEncoder& Get();

    // Every codeword of table 0..33 (32 = A, 33 = B); empty for tables 0, 4 and 14.
    const std::vector<HuffCode>& Codes(int table) const;
    int Linbits(int table) const;
    int Xlen(int table) const;

    // Writes one pair as the decoder reads it: codeword, x escape, x sign, y escape, y sign.
    // Values must be representable in the table; throws otherwise.
    void EncodePair(BitWriter& out, int table, int x, int y) const;
    // Writes one quadruple (values -1, 0, 1) with table 32 or 33: codeword, then signs.
    void EncodeQuad(BitWriter& out, int table, int v, int w, int x, int y) const;

  private:
    HuffmanEncoder();
    const HuffCode& Find(int table, int x, int y) const;

    std::vector<HuffCode> m_codes[34];
    int m_linbits[34] = {};
    int m_xlen[34] = {};
};

} // namespace sonavix::test
