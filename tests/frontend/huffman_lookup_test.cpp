// The Huffman decoder takes its first bits through a lookup built from the trees. Against a plain
// one-bit-per-node walk of the same trees it must give the same values and take the same bits
// for every codeword of every table, at every bit offset, across the end of the reservoir ring,
// and for arbitrary bits.
#include "decoder_access.h"
#include "huffman_encoder.h"
#include "mplay/FrameLoop.h"
#include "mplay/Tables.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using mplay::g_huffTables;
using mplay::HuffTable;
using mplay::LayerIIIDecoder;
using mplay::LayerIIIDecoderAccess;

namespace {

struct Values {
    int32_t x = 0, y = 0, v = 0, w = 0;
    int bits = 0;
    bool operator==(const Values&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Values& r) {
    return os << "(" << r.x << "," << r.y << "," << r.v << "," << r.w << " in " << r.bits
              << " bits)";
}

// One pair or quadruple by walking the tree a bit at a time, then escapes and signs.
Values WalkReference(const HuffTable& table, const std::vector<int>& bits) {
    size_t pos = 0;
    auto bit = [&] { return pos < bits.size() ? bits[pos++] : 0; };
    auto take = [&](int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i)
            value = value << 1 | bit();
        return static_cast<int32_t>(value);
    };
    Values r;
    uint32_t index = 0;
    while (table.tree[index][0] != 0) {
        const int b = bit();
        uint32_t step = table.tree[index][b];
        index += step;
        while (step >= 250) {
            step = table.tree[index][b];
            index += step;
        }
    }
    const uint32_t leaf = table.tree[index][1];
    if (table.name[0] == '3' && (table.name[1] == '2' || table.name[1] == '3')) {
        int32_t* order[4] = {&r.v, &r.w, &r.x, &r.y};
        for (int i = 0; i < 4; ++i) {
            *order[i] = (leaf >> (3 - i)) & 1;
            if (*order[i] && bit())
                *order[i] = -*order[i];
        }
    } else {
        r.x = static_cast<int32_t>(leaf >> 4);
        r.y = static_cast<int32_t>(leaf & 15);
        if (table.linbits && r.x == static_cast<int32_t>(table.xlen) - 1)
            r.x += take(static_cast<int>(table.linbits));
        if (r.x && bit())
            r.x = -r.x;
        if (table.linbits && r.y == static_cast<int32_t>(table.ylen) - 1)
            r.y += take(static_cast<int>(table.linbits));
        if (r.y && bit())
            r.y = -r.y;
    }
    r.bits = static_cast<int>(pos);
    return r;
}

// Decodes with the decoder after skipping `offset` bits of a reservoir holding `lead` filler
// bytes, then the bits.
Values DecodeWithDecoder(int table, const std::vector<int>& bits, int offset, int lead) {
    auto decoder = std::make_unique<LayerIIIDecoder>();
    EXPECT_EQ(decoder->Init(1, 3, 0, 0, mplay::SampleToPcm), 1);
    LayerIIIDecoderAccess a{*decoder};
    for (int i = 0; i < lead; ++i)
        a.PutByte(0xA5);
    std::vector<uint8_t> bytes((bits.size() + offset + 7) / 8 + 4, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            bytes[(i + offset) / 8] |= uint8_t(0x80 >> ((i + offset) % 8));
    a.PutBytes(bytes);
    a.GetBits(8 * lead + offset);
    const int before = a.BitsRead();
    Values r;
    a.DecodePair(g_huffTables[table], r.x, r.y, r.v, r.w);
    r.bits = a.BitsRead() - before;
    return r;
}

std::vector<int> BitsOf(const std::string& code, std::mt19937& rng, int tail) {
    std::vector<int> bits;
    for (char c : code)
        bits.push_back(c == '1');
    for (int i = 0; i < tail; ++i)
        bits.push_back(static_cast<int>(rng() & 1));
    return bits;
}

TEST(HuffmanLookup, AgreesWithTheTreeWalkOnEveryCodewordAtEveryOffset) {
    std::mt19937 rng(11);
    const auto& encoder = sonavix::test::HuffmanEncoder::Get();
    for (int t = 1; t < 34; ++t) {
        if (g_huffTables[t].treelen == 0)
            continue;
        for (const auto& code : encoder.Codes(t)) {
            // The tail supplies escapes and signs, random like the data that follows a code.
            const std::vector<int> bits = BitsOf(code.bits, rng, 40);
            const Values expected = WalkReference(g_huffTables[t], bits);
            ASSERT_EQ(expected.bits >= static_cast<int>(code.bits.size()), true);
            for (int offset = 0; offset < 8; ++offset) {
                ASSERT_EQ(DecodeWithDecoder(t, bits, offset, 0), expected)
                    << "table " << t << " code " << code.bits << " offset " << offset;
            }
        }
    }
}

TEST(HuffmanLookup, AgreesAcrossTheEndOfTheReservoirRing) {
    std::mt19937 rng(12);
    const auto& encoder = sonavix::test::HuffmanEncoder::Get();
    for (int t : {1, 7, 13, 15, 16, 24, 31, 32, 33}) {
        for (const auto& code : encoder.Codes(t)) {
            const std::vector<int> bits = BitsOf(code.bits, rng, 40);
            const Values expected = WalkReference(g_huffTables[t], bits);
            for (int lead : {4093, 4094, 4095}) {
                ASSERT_EQ(DecodeWithDecoder(t, bits, static_cast<int>(rng() % 8), lead), expected)
                    << "table " << t << " code " << code.bits << " lead " << lead;
            }
        }
    }
}

TEST(HuffmanLookup, AgreesOnArbitraryBits) {
    std::mt19937 rng(13);
    for (int t = 1; t < 34; ++t) {
        if (g_huffTables[t].treelen == 0)
            continue;
        for (int n = 0; n < 300; ++n) {
            const std::vector<int> bits = BitsOf("", rng, 64);
            ASSERT_EQ(DecodeWithDecoder(t, bits, n % 8, 0), WalkReference(g_huffTables[t], bits))
                << "table " << t << " case " << n;
        }
    }
}

} // namespace
