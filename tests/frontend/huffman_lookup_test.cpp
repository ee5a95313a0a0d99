// The Huffman decoder takes its first bits through a lookup built from the trees. Against a plain
// one-bit-per-node walk of the same trees it must give the same values and take the same bits
// for every codeword of every table, at every bit offset, across the end of the reservoir ring,
// and for arbitrary bits.
#include "decode/Tables.h"
#include "decoder_access.h"
#include "huffman_encoder.h"
#include "mplay/FrameLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A granule the way DecodeHuffman reads it, but one DecodePair call per code through the
// reservoir's own counters; DecodeHuffman keeps its bits in a register and commits them at the
// end of the granule, which must come to the same.
void DecodeGranuleCodeByCode(LayerIIIDecoderAccess& a, int region1, int region2, int32_t* out) {
    const mplay::GranuleInfo& gi = a.granule(0);
    const int32_t end = a.part2Start() + gi.part2_3_length;
    std::fill(out, out + 576, 0);
    int32_t x, y, v, w;
    int i = 0;
    for (; i < std::clamp(2 * gi.big_values, 0, 576); i += 2) {
        const int region = i < region1 ? 0 : (i < region2 ? 1 : 2);
        a.DecodePair(g_huffTables[gi.table_select[region] & 31], x, y, v, w);
        out[i] = x;
        out[i + 1] = y;
    }
    while (a.BitsRead() < end && i < 576) {
        a.DecodePair(g_huffTables[32 + (gi.count1table_select & 1)], x, y, v, w);
        const int32_t values[4] = {v, w, x, y};
        for (int k = 0; k < 4 && i + k < 576; ++k) {
            out[i + k] = values[k];
        }
        i += 4;
    }
    if (a.BitsRead() > end) {
        a.RewindBits(a.BitsRead() - end);
        i = std::max(i - 4, 0);
    }
    if (a.BitsRead() < end) {
        a.GetBits(end - a.BitsRead());
    }
    std::fill(out + std::min(i, 576), out + 576, 0);
}

} // namespace

TEST(HuffmanLookup, AGranuleInOnePassAgreesWithOneCodeAtATime) {
    std::mt19937 rng(14);
    // Random bytes decode to all kinds of codes, escapes included, and to granules whose codes
    // run past their stated end; the ring position wraps as the rounds go on.
    for (int round = 0; round < 400; ++round) {
        LayerIIIDecoderAccess fast;
        LayerIIIDecoderAccess reference;
        const int lead = static_cast<int>(rng() % 4096);
        for (int b = 0; b < lead + 1200; ++b) {
            const uint32_t byte = rng() & 0xFF;
            fast.PutByte(byte);
            reference.PutByte(byte);
        }
        const int skip = 8 * lead + static_cast<int>(rng() % 8);
        fast.GetBits(skip);
        reference.GetBits(skip);
        for (LayerIIIDecoderAccess* a : {&fast, &reference}) {
            std::mt19937 same(static_cast<uint32_t>(round));
            mplay::GranuleInfo& gi = a->granule(0);
            gi.part2_3_length = static_cast<int32_t>(same() % 4096);
            gi.big_values = static_cast<int32_t>(same() % 320);
            for (int& t : gi.table_select) {
                t = static_cast<int32_t>(same() % 32);
            }
            gi.region0_count = static_cast<int32_t>(same() % 16);
            gi.region1_count = static_cast<int32_t>(same() % 8);
            gi.window_switching_flag = same() % 4 == 0;
            gi.block_type = gi.window_switching_flag ? 2 : 0;
            gi.count1table_select = static_cast<int32_t>(same() % 2);
            a->part2Start() = a->BitsRead();
        }
        int region1 = 36;
        int region2 = 576;
        if (!reference.granule(0).window_switching_flag) {
            const mplay::SfBandIndex& bands = mplay::g_sfBandTable[reference.sampleRateIndex()];
            const auto start = [&](int band) { return band <= 22 ? bands.l[band] : 576; };
            region1 = start(reference.granule(0).region0_count + 1);
            region2 =
                start(reference.granule(0).region0_count + reference.granule(0).region1_count + 2);
        }
        int32_t expected[576];
        DecodeGranuleCodeByCode(reference, region1, region2, expected);
        fast.DecodeHuffman(0, 0);
        ASSERT_TRUE(std::equal(expected, expected + 576, fast.quantised())) << "round " << round;
        ASSERT_EQ(fast.BitsRead(), reference.BitsRead()) << "round " << round;
        ASSERT_EQ(fast.resByte(), reference.resByte()) << "round " << round;
        ASSERT_EQ(fast.resBitsLeft(), reference.resBitsLeft()) << "round " << round;
    }
}
