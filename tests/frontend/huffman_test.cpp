// Huffman decoding: every codeword of every table against an encoder built from the code data,
// escapes and signs, region boundaries, the granule budget, and bounds on malformed counts.
#include "bit_writer.h"
#include "decode/Tables.h"
#include "decoder_access.h"
#include "huffman_encoder.h"
#include "mplay/FrameLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using mplay::g_huffTables;
using mplay::GranuleInfo;
using mplay::LayerIIIDecoder;
using mplay::LayerIIIDecoderAccess;
using sonavix::test::BitWriter;
using sonavix::test::HuffmanEncoder;

namespace {

struct Decoder {
    std::unique_ptr<LayerIIIDecoder> decoder = std::make_unique<LayerIIIDecoder>();
    LayerIIIDecoderAccess a{*decoder};
    // 44.1 kHz MPEG-1, one channel.
    Decoder() { EXPECT_EQ(decoder->Init(1, 3, 0, 0, mplay::SampleToPcm), 1); }

    struct Pair {
        int32_t x, y, v, w;
    };
    Pair Decode(int table) {
        Pair p{};
        a.DecodePair(g_huffTables[table], p.x, p.y, p.v, p.w);
        return p;
    }
};

const HuffmanEncoder& Encoder() {
    return HuffmanEncoder::Get();
}

constexpr double kSentinel = 12345.5;

// Writes values[0 .. 2*bigValues) with the region tables, then quadruples up to count1End
// with count1table_select quadTable.
BitWriter EncodeSpectrum(const std::vector<int>& values, int bigValues, const int tables[3],
                         int region1, int region2, int quadTable, int count1End) {
    BitWriter w;
    int i = 0;
    for (; i < 2 * bigValues; i += 2) {
        const int t = i < region1 ? tables[0] : (i < region2 ? tables[1] : tables[2]);
        Encoder().EncodePair(w, t, values[i], values[i + 1]);
    }
    for (; i < count1End; i += 4) {
        Encoder().EncodeQuad(w, 32 + quadTable, values[i], values[i + 1], values[i + 2],
                             values[i + 3]);
    }
    return w;
}

} // namespace

TEST(HuffmanTables, ShapeMatchesTheirUse) {
    for (int t : {0, 4, 14}) {
        EXPECT_EQ(g_huffTables[t].treelen, 0u) << t;
    }
    for (int t = 16; t < 32; ++t) {
        EXPECT_EQ(g_huffTables[t].tree, g_huffTables[t < 24 ? 16 : 24].tree) << t;
        EXPECT_EQ(g_huffTables[t].linbits, static_cast<uint32_t>(Encoder().Linbits(t))) << t;
    }
    EXPECT_STREQ(g_huffTables[32].name, "32");
    EXPECT_STREQ(g_huffTables[33].name, "33");
    EXPECT_EQ(g_huffTables[24].treelen, 512u);
}

// Every codeword of every table, with escapes and alternating signs, decodes to its values
// with exactly its bits.
TEST(HuffmanPairs, EveryCodewordRoundTrips) {
    for (int t = 1; t < 34; ++t) {
        const auto& codes = Encoder().Codes(t);
        if (codes.empty()) {
            continue;
        }
        SCOPED_TRACE(testing::Message() << "table " << t);
        const bool quad = t >= 32;
        const int linbits = Encoder().Linbits(t);
        std::vector<std::pair<int, int>> values;
        std::vector<int> lengths;
        BitWriter w;
        int n = 0;
        for (const auto& code : codes) {
            if (quad) {
                const int v = code.y;
                const int s = (n++ % 2) ? -1 : 1;
                const size_t before = w.BitCount();
                Encoder().EncodeQuad(w, t, s * (v >> 3 & 1), -s * (v >> 2 & 1), s * (v >> 1 & 1),
                                     -s * (v & 1));
                lengths.push_back(static_cast<int>(w.BitCount() - before));
                values.push_back({s, v});
                continue;
            }
            // Escaped magnitudes take the largest extra value the linbits can carry.
            const int extra = linbits > 0 ? ((1 << linbits) - 1) >> (n % 3) : 0;
            int x = code.x == 15 && linbits > 0 ? 15 + extra : code.x;
            int y = code.y == 15 && linbits > 0 ? 15 + extra / 2 : code.y;
            if (n++ % 2) {
                x = -x;
            } else {
                y = -y;
            }
            const size_t before = w.BitCount();
            Encoder().EncodePair(w, t, x, y);
            lengths.push_back(static_cast<int>(w.BitCount() - before));
            values.push_back({x, y});
        }
        Decoder d;
        d.a.PutBytes(w.Bytes());
        for (size_t k = 0; k < values.size(); ++k) {
            const int32_t start = d.a.BitsRead();
            const auto p = d.Decode(t);
            if (quad) {
                const int s = values[k].first, v = values[k].second;
                ASSERT_EQ(p.v, s * (v >> 3 & 1)) << k;
                ASSERT_EQ(p.w, -s * (v >> 2 & 1)) << k;
                ASSERT_EQ(p.x, s * (v >> 1 & 1)) << k;
                ASSERT_EQ(p.y, -s * (v & 1)) << k;
            } else {
                ASSERT_EQ(p.x, values[k].first) << k;
                ASSERT_EQ(p.y, values[k].second) << k;
            }
            ASSERT_EQ(d.a.BitsRead() - start, lengths[k]) << k;
        }
    }
}

TEST(HuffmanPairs, HandWrittenCases) {
    Decoder d;
    BitWriter w;
    w.Put("01 1");          // table 1: (1, 0) with sign 1 -> x = -1
    w.Put("1");             // table 1: (0, 0), no sign bit
    w.Put("000001100 1 0"); // table 16: x = 15 with escape bit 1 -> 16, sign +; y = 0
    w.Put("0000 1010");     // quadruple table B: four ones, signs - + - +
    w.Put("1");             // quadruple table A: four zeros, no signs
    d.a.PutBytes(w.Bytes());

    auto p = d.Decode(1);
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(d.a.BitsRead(), 3);
    p = d.Decode(1);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(d.a.BitsRead(), 4);
    for (int empty : {0, 4, 14}) {
        p = d.Decode(empty);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
        EXPECT_EQ(d.a.BitsRead(), 4);
    }
    p = d.Decode(16);
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(d.a.BitsRead(), 15);
    p = d.Decode(33);
    EXPECT_EQ(p.v, -1);
    EXPECT_EQ(p.w, 1);
    EXPECT_EQ(p.x, -1);
    EXPECT_EQ(p.y, 1);
    p = d.Decode(32);
    EXPECT_EQ(p.v | p.w | p.x | p.y, 0);
    EXPECT_EQ(d.a.BitsRead(), 24);
}

TEST(HuffmanGranule, RegionsBudgetAndStuffing) {
    // 44.1 kHz long blocks, region0_count 7, region1_count 13: region 1 at 36, region 2 at 576.
    std::vector<int> values(576, 0);
    for (int i = 0; i < 200; ++i) {
        values[i] = (i % 7) - 3;
    }
    for (int i = 200; i < 240; ++i) {
        values[i] = (i % 3) - 1;
    }
    const int tables[3] = {7, 24, 1}; // table 1 would fail to code these values
    BitWriter w = EncodeSpectrum(values, 100, tables, 36, 576, 1, 576);
    const size_t dataBits = w.BitCount();
    w.Put(0x5A5A, 16); // stuffing after all 576 lines, inside the stated length
    w.Put(0xC3, 8);    // the next granule

    Decoder d;
    d.a.PutBytes(w.Bytes());
    GranuleInfo& g = d.a.granule(0, 0);
    g.big_values = 100;
    g.table_select[0] = 7;
    g.table_select[1] = 24;
    g.table_select[2] = 1;
    g.region0_count = 7;
    g.region1_count = 13;
    g.count1table_select = 1;
    g.part2_3_length = static_cast<int32_t>(dataBits + 16);
    d.a.part2Start() = 0;
    d.a.DecodeHuffman(0, 0);
    for (int i = 0; i < 576; ++i) {
        ASSERT_EQ(d.a.quantised()[i], values[i]) << i;
    }
    EXPECT_EQ(d.a.nonzeroCount(0), 576);
    EXPECT_EQ(d.a.BitsRead(), g.part2_3_length);
    EXPECT_EQ(d.a.GetBits(8), 0xC3u);
}

TEST(HuffmanGranule, QuadrupleCrossingTheEndIsPulledBack) {
    std::vector<int> values(576, 0);
    values[0] = 3;
    values[1] = -2;
    for (int i = 2; i < 14; ++i) {
        values[i] = (i % 2) ? 1 : -1;
    }
    const int tables[3] = {5, 5, 5};
    BitWriter w = EncodeSpectrum(values, 1, tables, 576, 576, 0, 14);
    // The last quadruple has 4 sign bits + a 6-bit code; cut the granule two bits before its
    // end.
    const int32_t length = static_cast<int32_t>(w.BitCount()) - 2;
    w.Put(0xFF, 8);

    Decoder d;
    d.a.PutBytes(w.Bytes());
    GranuleInfo& g = d.a.granule(0, 0);
    g.big_values = 1;
    g.table_select[0] = g.table_select[1] = g.table_select[2] = 5;
    g.region0_count = 15;
    g.region1_count = 7; // boundary index 24: past the band row, treated as 576
    g.count1table_select = 0;
    g.part2_3_length = length;
    d.a.part2Start() = 0;
    std::fill(d.a.quantised(), d.a.quantised() + 576, 77);
    d.a.DecodeHuffman(0, 0);
    EXPECT_EQ(d.a.BitsRead(), length);
    EXPECT_EQ(d.a.nonzeroCount(0), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(d.a.quantised()[i], values[i]) << i;
    }
    for (int i = 10; i < 576; ++i) {
        ASSERT_EQ(d.a.quantised()[i], 0) << i;
    }
}

TEST(HuffmanGranule, EmptyGranuleReadsNothing) {
    Decoder d;
    d.a.PutBytes({0xFF, 0xFF});
    GranuleInfo& g = d.a.granule(0, 0);
    g = GranuleInfo{};
    g.part2_3_length = 5; // only the scale factors
    d.a.part2Start() = 0;
    d.a.GetBits(5);
    std::fill(d.a.quantised(), d.a.quantised() + 576, 1);
    d.a.DecodeHuffman(0, 0);
    EXPECT_EQ(d.a.BitsRead(), 5);
    EXPECT_EQ(d.a.nonzeroCount(0), 0);
    EXPECT_TRUE(std::all_of(d.a.quantised(), d.a.quantised() + 576, [](int v) { return v == 0; }));
}

// Counts no valid stream carries: the values stay inside their 576 slots and the count inside
// 0..576, and the granule still ends at its stated length.
TEST(HuffmanGranule, MalformedCountsStayInBounds) {
    struct Case {
        int bigValues, part2_3_length, consumedByScaleFactors;
    };
    for (const Case c : {Case{511, 4000, 0}, Case{287, 4095, 0}, Case{0, 4, 10}, Case{300, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "big_values " << c.bigValues);
        Decoder d;
        for (int i = 0; i < 4096; ++i) {
            d.a.PutByte(static_cast<uint32_t>(i * 131 + 7));
        }
        for (int ch = 0; ch < 2; ++ch) {
            std::fill(d.a.dequantised(ch), d.a.dequantised(ch) + 576, kSentinel);
        }
        GranuleInfo& g = d.a.granule(0, 0);
        g = GranuleInfo{};
        g.big_values = c.bigValues;
        g.part2_3_length = c.part2_3_length;
        g.table_select[0] = 24;
        g.table_select[1] = 13;
        g.table_select[2] = 31;
        g.region0_count = 15;
        g.region1_count = 7;
        d.a.part2Start() = 0;
        d.a.GetBits(c.consumedByScaleFactors);
        d.a.DecodeHuffman(0, 0);
        EXPECT_EQ(d.a.BitsRead(), c.part2_3_length);
        EXPECT_GE(d.a.nonzeroCount(0), 0);
        EXPECT_LE(d.a.nonzeroCount(0), 576);
        for (int ch = 0; ch < 2; ++ch) {
            for (int i = 0; i < 576; ++i) {
                ASSERT_EQ(d.a.dequantised(ch)[i], kSentinel);
            }
        }
    }
}

TEST(HuffmanGranule, QuadrupleAt574KeepsItsFirstTwoValues) {
    std::vector<int> values(580, 0);
    for (int i = 0; i < 574; ++i) {
        values[i] = (i % 3) - 1;
    }
    values[574] = 1;
    values[575] = -1;
    values[576] = 1; // beyond the spectrum: coded but never stored
    values[577] = 1;
    const int tables[3] = {2, 2, 2};
    BitWriter w = EncodeSpectrum(values, 287, tables, 36, 576, 1, 578);
    const int32_t length = static_cast<int32_t>(w.BitCount());
    Decoder d;
    d.a.PutBytes(w.Bytes());
    for (int ch = 0; ch < 2; ++ch) {
        std::fill(d.a.dequantised(ch), d.a.dequantised(ch) + 576, kSentinel);
    }
    GranuleInfo& g = d.a.granule(0, 0);
    g = GranuleInfo{};
    g.big_values = 287;
    g.table_select[0] = g.table_select[1] = 2;
    g.window_switching_flag = 1;
    g.block_type = 2;
    g.count1table_select = 1;
    g.part2_3_length = length;
    d.a.part2Start() = 0;
    d.a.DecodeHuffman(0, 0);
    EXPECT_EQ(d.a.nonzeroCount(0), 576);
    EXPECT_EQ(d.a.quantised()[574], 1);
    EXPECT_EQ(d.a.quantised()[575], -1);
    EXPECT_EQ(d.a.BitsRead(), length);
    EXPECT_EQ(d.a.dequantised(0)[0], kSentinel);
}
