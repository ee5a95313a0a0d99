// Side information layouts of both syntaxes and the scale-factor readers.
#include "bit_writer.h"
#include "decode/Tables.h"
#include "decoder_access.h"
#include "mplay/FrameLoop.h"

#include <gtest/gtest.h>

#include <memory>

using mplay::GranuleInfo;
using mplay::LayerIIIDecoder;
using mplay::LayerIIIDecoderAccess;
using sonavix::test::BitWriter;

namespace {

struct Decoder {
    std::unique_ptr<LayerIIIDecoder> decoder = std::make_unique<LayerIIIDecoder>();
    LayerIIIDecoderAccess a{*decoder};
    Decoder(int id, int mode, int modeExtension = 0) {
        EXPECT_EQ(decoder->Init(id, mode, modeExtension, 0, mplay::SampleToPcm), 1);
    }
};

GranuleInfo Granule(int seed, bool windowSwitching, int blockType = 0, int mixed = 0) {
    GranuleInfo g{};
    g.part2_3_length = 100 + seed;
    g.big_values = 20 + seed;
    g.global_gain = 150 + seed;
    g.scalefac_compress = 3 + seed;
    g.window_switching_flag = windowSwitching;
    g.block_type = blockType;
    g.mixed_block_flag = mixed;
    g.table_select[0] = 5 + seed;
    g.table_select[1] = 7 + seed;
    g.table_select[2] = windowSwitching ? 0 : 9 + seed;
    g.subblock_gain[0] = windowSwitching ? 1 : 0;
    g.subblock_gain[1] = windowSwitching ? 2 : 0;
    g.subblock_gain[2] = windowSwitching ? 3 : 0;
    g.region0_count = windowSwitching ? 0 : (seed % 16);
    g.region1_count = windowSwitching ? 0 : (seed % 8);
    g.preflag = seed & 1;
    g.scalefac_scale = (seed >> 1) & 1;
    g.count1table_select = (seed >> 2) & 1;
    return g;
}

void WriteGranule(BitWriter& w, const GranuleInfo& g, bool lsf) {
    w.Put(g.part2_3_length, 12);
    w.Put(g.big_values, 9);
    w.Put(g.global_gain, 8);
    w.Put(g.scalefac_compress, lsf ? 9 : 4);
    w.Put(g.window_switching_flag, 1);
    if (g.window_switching_flag) {
        w.Put(g.block_type, 2);
        w.Put(g.mixed_block_flag, 1);
        w.Put(g.table_select[0], 5);
        w.Put(g.table_select[1], 5);
        for (int gain : g.subblock_gain) {
            w.Put(gain, 3);
        }
    } else {
        for (int t : g.table_select) {
            w.Put(t, 5);
        }
        w.Put(g.region0_count, 4);
        w.Put(g.region1_count, 3);
    }
    if (!lsf) {
        w.Put(g.preflag, 1);
    }
    w.Put(g.scalefac_scale, 1);
    w.Put(g.count1table_select, 1);
}

void ExpectGranule(const GranuleInfo& got, const GranuleInfo& want, bool lsf) {
    EXPECT_EQ(got.part2_3_length, want.part2_3_length);
    EXPECT_EQ(got.big_values, want.big_values);
    EXPECT_EQ(got.global_gain, want.global_gain);
    EXPECT_EQ(got.scalefac_compress, want.scalefac_compress);
    EXPECT_EQ(got.window_switching_flag, want.window_switching_flag);
    EXPECT_EQ(got.block_type, want.block_type);
    EXPECT_EQ(got.table_select[0], want.table_select[0]);
    EXPECT_EQ(got.table_select[1], want.table_select[1]);
    if (want.window_switching_flag) {
        EXPECT_EQ(got.mixed_block_flag, want.mixed_block_flag);
        EXPECT_EQ(got.subblock_gain[2], want.subblock_gain[2]);
    } else {
        EXPECT_EQ(got.table_select[2], want.table_select[2]);
        EXPECT_EQ(got.region0_count, want.region0_count);
        EXPECT_EQ(got.region1_count, want.region1_count);
    }
    if (!lsf) {
        EXPECT_EQ(got.preflag, want.preflag);
    }
    EXPECT_EQ(got.scalefac_scale, want.scalefac_scale);
    EXPECT_EQ(got.count1table_select, want.count1table_select);
}

constexpr uint32_t kMarker = 0xA5;

} // namespace

// Every layout ends exactly at its stated size: the marker byte after it is read next.
TEST(SideInfo, LayoutsOfBothSyntaxes) {
    struct Case {
        int id, mode, bytes;
    };
    for (const Case c : {Case{1, 3, 17}, Case{1, 0, 32}, Case{0, 3, 9}, Case{0, 1, 17}}) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << " mode " << c.mode);
        Decoder d(c.id, c.mode);
        const bool lsf = c.id == 0;
        const int channels = c.mode == 3 ? 1 : 2;
        const int granules = lsf ? 1 : 2;
        BitWriter w;
        w.Put(lsf ? 201 : 301, lsf ? 8 : 9);
        w.Put(1, lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
        if (!lsf) {
            for (int ch = 0; ch < channels; ++ch) {
                w.Put(ch == 0 ? "1010" : "0111");
            }
        }
        GranuleInfo want[2][2];
        for (int gr = 0; gr < granules; ++gr) {
            for (int ch = 0; ch < channels; ++ch) {
                const int seed = gr * 2 + ch;
                want[gr][ch] = seed == 1   ? Granule(seed, true, 2, 0)
                               : seed == 2 ? Granule(seed, true, 3, 0)
                                           : Granule(seed, false);
                if (lsf) {
                    want[gr][ch].scalefac_compress = 300 + seed;
                }
                WriteGranule(w, want[gr][ch], lsf);
            }
        }
        ASSERT_EQ(w.BitCount(), static_cast<size_t>(c.bytes * 8));
        w.Put(kMarker, 8);
        const auto words = w.Words(mplay::MpegStream::kFrameWords);
        d.a.PointFrameReader(words.data());
        EXPECT_EQ(d.a.ReadSideInfo(), 1);
        EXPECT_EQ(d.a.GetFrameBits(8), kMarker);
        EXPECT_EQ(d.a.mainDataBegin(), lsf ? 201 : 301);
        EXPECT_EQ(d.a.privateBits(), 1);
        if (!lsf) {
            EXPECT_EQ(d.a.sideInfo(0).scfsi[0], 1);
            EXPECT_EQ(d.a.sideInfo(0).scfsi[1], 0);
        }
        for (int gr = 0; gr < granules; ++gr) {
            for (int ch = 0; ch < channels; ++ch) {
                ExpectGranule(d.a.granule(ch, gr), want[gr][ch], lsf);
            }
        }
        if (channels == 2 && !lsf) {
            // Window switching fixes the region counts: 8 for pure short, 7 and 13 otherwise.
            EXPECT_EQ(d.a.granule(1, 0).region0_count, 8);
            EXPECT_EQ(d.a.granule(0, 1).region0_count, 7);
            EXPECT_EQ(d.a.granule(0, 1).region1_count, 13);
        }
    }
}

TEST(SideInfo, WindowSwitchingWithBlockTypeZeroStopsReading) {
    Decoder d(1, 0);
    d.a.granule(1, 0).part2_3_length = 777; // older values stay
    d.a.granule(0, 1).big_values = 55;
    BitWriter w;
    w.Put(0, 9);
    w.Put(0, 3);
    w.Put(0, 8);
    GranuleInfo forbidden = Granule(0, true, 0, 0);
    WriteGranule(w, forbidden, false);
    WriteGranule(w, Granule(1, false), false);
    const auto words = w.Words(mplay::MpegStream::kFrameWords);
    d.a.PointFrameReader(words.data());
    EXPECT_EQ(d.a.ReadSideInfo(), 0);
    EXPECT_EQ(d.a.granule(0, 0).part2_3_length, forbidden.part2_3_length);
    EXPECT_EQ(d.a.granule(1, 0).part2_3_length, 777);
    EXPECT_EQ(d.a.granule(0, 1).big_values, 55);
}

TEST(ScaleFactors, LongBlocksAndScfsiReuse) {
    Decoder d(1, 3);
    GranuleInfo& g0 = d.a.granule(0, 0);
    GranuleInfo& g1 = d.a.granule(0, 1);
    g0.scalefac_compress = 15; // slen 4 and 3
    g1.scalefac_compress = 15;
    BitWriter w;
    for (int band = 0; band < 21; ++band) {
        w.Put(band % 8, band < 11 ? 4 : 3);
    }
    // Granule 1 with scfsi 0 1 0 1: only groups 0 and 2 are read.
    for (int band = 0; band < 6; ++band) {
        w.Put(9, 4);
    }
    for (int band = 11; band < 16; ++band) {
        w.Put(6, 3);
    }
    w.Put(kMarker, 8);
    d.a.PutBytes(w.Bytes());
    d.a.scalefac(0).l[21] = 5;
    d.a.ReadScaleFactors(0, 0);
    for (int band = 0; band < 21; ++band) {
        EXPECT_EQ(d.a.scalefac(0).l[band], band % 8);
    }
    EXPECT_EQ(d.a.scalefac(0).l[21], 0);
    d.a.sideInfo(0).scfsi[0] = 0;
    d.a.sideInfo(0).scfsi[1] = 1;
    d.a.sideInfo(0).scfsi[2] = 0;
    d.a.sideInfo(0).scfsi[3] = 1;
    d.a.ReadScaleFactors(0, 1);
    for (int band = 0; band < 21; ++band) {
        const int want = band < 6 ? 9 : (band >= 11 && band < 16 ? 6 : band % 8);
        EXPECT_EQ(d.a.scalefac(0).l[band], want) << band;
    }
    EXPECT_EQ(d.a.GetBits(8), kMarker);

    // scfsi 1 1 1 1 reads nothing in granule 1.
    d.a.sideInfo(0).scfsi[0] = d.a.sideInfo(0).scfsi[2] = 1;
    const int32_t before = d.a.BitsRead();
    d.a.ReadScaleFactors(0, 1);
    EXPECT_EQ(d.a.BitsRead(), before);
}

TEST(ScaleFactors, ShortAndMixedBlocks) {
    for (int mixed : {0, 1}) {
        Decoder d(1, 3);
        GranuleInfo& g = d.a.granule(0, 0);
        g.window_switching_flag = 1;
        g.block_type = 2;
        g.mixed_block_flag = mixed;
        g.scalefac_compress = 10; // slen 2 and 3
        BitWriter w;
        if (mixed) {
            for (int band = 0; band < 8; ++band) {
                w.Put(3 - band % 4, 2);
            }
        }
        for (int band = mixed ? 3 : 0; band < 12; ++band) {
            for (int window = 0; window < 3; ++window) {
                w.Put((band + window) % 4, band < 6 ? 2 : 3);
            }
        }
        w.Put(kMarker, 8);
        d.a.PutBytes(w.Bytes());
        d.a.scalefac(0).s[1][12] = 7;
        d.a.ReadScaleFactors(0, 0);
        if (mixed) {
            for (int band = 0; band < 8; ++band) {
                EXPECT_EQ(d.a.scalefac(0).l[band], 3 - band % 4);
            }
        }
        for (int band = mixed ? 3 : 0; band < 12; ++band) {
            for (int window = 0; window < 3; ++window) {
                EXPECT_EQ(d.a.scalefac(0).s[window][band], (band + window) % 4);
            }
        }
        EXPECT_EQ(d.a.scalefac(0).s[1][12], 0);
        EXPECT_EQ(d.a.GetBits(8), kMarker);
    }
}

TEST(LsfScaleFactors, SlenChoiceAndDistribution) {
    // compress 123: slen 1, 2, 2, 3 over 6, 5, 5, 5 long bands.
    Decoder d(0, 1);
    GranuleInfo& g = d.a.granule(0, 0);
    g.scalefac_compress = 123;
    const int slen[4] = {1, 2, 2, 3};
    const int count[4] = {6, 5, 5, 5};
    BitWriter w;
    int band = 0;
    for (int group = 0; group < 4; ++group) {
        for (int j = 0; j < count[group]; ++j, ++band) {
            w.Put(band % (1 << slen[group]), slen[group]);
        }
    }
    w.Put(kMarker, 8);
    d.a.PutBytes(w.Bytes());
    d.a.ReadLsfScaleFactors(0, 0);
    band = 0;
    for (int group = 0; group < 4; ++group) {
        for (int j = 0; j < count[group]; ++j, ++band) {
            EXPECT_EQ(d.a.scalefac(0).l[band], band % (1 << slen[group])) << band;
        }
    }
    EXPECT_EQ(d.a.granule(0, 0).preflag, 0);
    EXPECT_EQ(d.a.GetBits(8), kMarker);
}

TEST(LsfScaleFactors, PreflagIntensityAndTheUndefinedIntensityValue) {
    // 500 on channel 0: preflag, slen 0 and 0, nothing read.
    Decoder d(0, 1, 1);
    d.a.granule(0, 0).scalefac_compress = 500;
    d.a.granule(1, 0).scalefac_compress = 500; // channel 1, intensity on: value 250, slen 2, 0
    BitWriter w;
    for (int j = 0; j < 8; ++j) {
        w.Put(j % 4, 2);
    }
    w.Put(kMarker, 8);
    d.a.PutBytes(w.Bytes());
    d.a.ReadLsfScaleFactors(0, 0);
    EXPECT_EQ(d.a.granule(0, 0).preflag, 1);
    EXPECT_EQ(d.a.BitsRead(), 0);
    d.a.granule(1, 0).preflag = 1;
    d.a.ReadLsfScaleFactors(1, 0);
    EXPECT_EQ(d.a.granule(1, 0).preflag, 0);
    for (int band = 0; band < 21; ++band) {
        EXPECT_EQ(d.a.scalefac(1).l[band], band < 8 ? band % 4 : 0) << band;
    }
    EXPECT_EQ(d.a.GetBits(8), kMarker);

    // 510 and 511 have no table entry: no bits, all zero; 0 likewise reads nothing.
    for (int compress : {510, 511, 0}) {
        const int ch = compress == 0 ? 0 : 1;
        d.a.granule(ch, 0).scalefac_compress = compress;
        d.a.scalefac(ch).l[3] = 9;
        d.a.granule(ch, 0).preflag = 1;
        const int32_t before = d.a.BitsRead();
        d.a.ReadLsfScaleFactors(ch, 0);
        EXPECT_EQ(d.a.BitsRead(), before) << compress;
        EXPECT_EQ(d.a.scalefac(ch).l[3], 0) << compress;
        EXPECT_EQ(d.a.granule(ch, 0).preflag, 0) << compress;
    }
}

TEST(LsfScaleFactors, MixedBlocksTakeTwoZerosPastTheTable) {
    Decoder d(0, 3);
    GranuleInfo& g = d.a.granule(0, 0);
    g.window_switching_flag = 1;
    g.block_type = 2;
    g.mixed_block_flag = 1;
    g.scalefac_compress = 5 * 16 + 0; // slen 1, 0, 0, 0 over 6, 9, 9, 9
    BitWriter w;
    w.Put("101101");
    d.a.PutBytes(w.Bytes());
    for (int window = 0; window < 3; ++window) {
        d.a.scalefac(0).s[window][11] = 9;
    }
    d.a.ReadLsfScaleFactors(0, 0);
    EXPECT_EQ(d.a.BitsRead(), 6);
    const int want[6] = {1, 0, 1, 1, 0, 1};
    for (int band = 0; band < 6; ++band) {
        EXPECT_EQ(d.a.scalefac(0).l[band], want[band]);
    }
    EXPECT_EQ(d.a.scalefac(0).l[6], 0);
    // Entries 33 and 34 (band 11, windows 1 and 2) are the buffer's zeros.
    EXPECT_EQ(d.a.scalefac(0).s[1][11], 0);
    EXPECT_EQ(d.a.scalefac(0).s[2][11], 0);
}
