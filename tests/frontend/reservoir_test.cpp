// Bit reservoir and frame reader: bit order, counters, rewinds, the 4096-slot wrap, and reads
// that stay inside their buffers whatever the counters say.
#include "decoder_access.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

using mplay::LayerIIIDecoder;
using mplay::LayerIIIDecoderAccess;

namespace {

struct Reservoir : ::testing::Test {
    std::unique_ptr<LayerIIIDecoder> decoder = std::make_unique<LayerIIIDecoder>();
    LayerIIIDecoderAccess r{*decoder};
};

uint8_t Pattern(int i) {
    return static_cast<uint8_t>((i * 37 + 11) & 0xFF);
}

} // namespace

TEST_F(Reservoir, BitsComeMostSignificantFirstAcrossBytes) {
    r.PutBytes({0xA5, 0x3C, 0xF0});
    EXPECT_EQ(r.GetBits(0), 0u);
    EXPECT_EQ(r.BitsRead(), 0);
    EXPECT_EQ(r.GetBits(4), 0xAu);
    EXPECT_EQ(r.GetBits(8), 0x53u);
    EXPECT_EQ(r.Get1Bit(), 1u);
    EXPECT_EQ(r.Get1Bit(), 1u);
    EXPECT_EQ(r.GetBits(3), 0x1u);
    EXPECT_EQ(r.GetBits(7), 0x70u);
    EXPECT_EQ(r.BitsRead(), 24);
}

TEST_F(Reservoir, RewindBitsRereadsTheSameBits) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 64; ++i) {
        bytes.push_back(Pattern(i));
    }
    r.PutBytes(bytes);
    for (int skip : {0, 1, 7, 8, 9, 15}) {
        for (int n : {1, 5, 8, 13, 17, 24}) {
            r.GetBits(skip);
            const int32_t before = r.BitsRead();
            const uint32_t value = r.GetBits(n);
            r.RewindBits(n);
            EXPECT_EQ(r.BitsRead(), before);
            EXPECT_EQ(r.GetBits(n), value) << "skip " << skip << " n " << n;
        }
    }
    // A long pull-back over many bytes, as the Huffman budget does.
    const int32_t mark = r.BitsRead();
    const uint32_t next = r.GetBits(11);
    r.GetBits(200);
    r.RewindBits(r.BitsRead() - mark);
    EXPECT_EQ(r.GetBits(11), next);
}

TEST_F(Reservoir, SkipsLongerThanAWord) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 40; ++i) {
        bytes.push_back(Pattern(i));
    }
    r.PutBytes(bytes);
    r.GetBits(3);
    r.GetBits(100); // stuffing skip: only the position matters
    EXPECT_EQ(r.BitsRead(), 103);
    // Bit 103 onwards: byte 12 from its bit 7 on.
    const uint32_t expected = ((uint32_t{Pattern(12)} << 8 | Pattern(13)) >> 1) & 0xFF;
    EXPECT_EQ(r.GetBits(8), expected);
}

TEST_F(Reservoir, ReadsContinueAcrossTheRingWrap) {
    // Fill and drain most of the ring, then write past its end and read on.
    for (int i = 0; i < 4000; ++i) {
        r.PutByte(Pattern(i));
    }
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(r.GetBits(8), Pattern(i));
    }
    for (int i = 4000; i < 4300; ++i) {
        r.PutByte(Pattern(i));
    }
    EXPECT_EQ(r.resWrite(), 4300 - 4096);
    r.GetBits(4);
    for (int i = 4000; i < 4299; ++i) {
        const uint32_t expected = ((uint32_t{Pattern(i)} << 8 | Pattern(i + 1)) >> 4) & 0xFF;
        ASSERT_EQ(r.GetBits(8), expected) << "byte " << i;
    }
    // The counters are rebased by a 4096-byte rewind without moving the read position.
    r.RewindBits(4);
    r.RewindBytes(4096);
    EXPECT_EQ(r.BitsRead(), 4299 * 8 - 4096 * 8);
    EXPECT_EQ(r.GetBits(8), Pattern(4299));
}

TEST_F(Reservoir, CountersOutsideTheRingStillReadInsideIt) {
    for (int i = 0; i < 4096; ++i) {
        r.PutByte(Pattern(i));
    }
    // Back from the very first byte: slot 4095.
    r.RewindBits(8);
    EXPECT_LT(r.resByte(), 0);
    EXPECT_EQ(r.GetBits(8), Pattern(4095));
    EXPECT_EQ(r.GetBits(8), Pattern(0));
    // Far beyond the written bytes the ring repeats; reads never leave it.
    r.GetBits(8 * 4096 * 3);
    EXPECT_EQ(r.GetBits(8), Pattern(1));
    r.RewindBytes(3 * 4096 + 5);
    EXPECT_EQ(r.GetBits(8), Pattern(4096 - 3));
}

TEST_F(Reservoir, FrameReaderCrossesWordsAndStopsAtTheBufferEnd) {
    std::vector<uint32_t> words(mplay::MpegStream::kFrameWords, 0);
    words[0] = 0x12345678;
    words[1] = 0x9ABCDEF0;
    words.back() = 0xFFFFFFFF;
    r.PointFrameReader(words.data());
    EXPECT_EQ(r.GetFrameBits(12), 0x123u);
    EXPECT_EQ(r.GetFrameBits(16), 0x4567u);
    EXPECT_EQ(r.GetFrameBits(8), 0x89u); // 4 bits of word 0, 4 of word 1
    EXPECT_EQ(r.GetFrameBits(12), 0xABCu);
    EXPECT_EQ(r.GetFrameBits(16), 0xDEF0u);

    // Up to the last word, then zeros: the reader never looks past the buffer.
    for (int w = 2; w < mplay::MpegStream::kFrameWords - 1; ++w) {
        r.GetFrameBits(16);
        r.GetFrameBits(16);
    }
    EXPECT_EQ(r.GetFrameBits(12), 0xFFFu);
    EXPECT_EQ(r.GetFrameBits(16), 0xFFFFu);
    EXPECT_EQ(r.GetFrameBits(8), 0xF0u);
    EXPECT_EQ(r.GetFrameBits(16), 0u);
}

// GetBits and the frame copy take many bits or bytes at a time; they must read and move exactly
// as the bit-by-bit and byte-by-byte paths do, wherever the read position is on the ring.
TEST_F(Reservoir, WideReadsAgreeWithSingleBitReadsAllRoundTheRing) {
    LayerIIIDecoderAccess bitwise;
    std::mt19937 rng(5);
    int put = 0;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 300; ++i, ++put) {
            r.PutByte(Pattern(put));
            bitwise.PutByte(Pattern(put));
        }
        for (int reads = 0; reads < 250; ++reads) {
            const int n = static_cast<int>(rng() % 41);
            uint32_t expected = 0;
            for (int k = 0; k < n; ++k) {
                expected = expected << 1 | bitwise.Get1Bit();
            }
            ASSERT_EQ(r.GetBits(n), expected) << "round " << round << " n " << n;
            ASSERT_EQ(r.BitsRead(), bitwise.BitsRead());
            ASSERT_EQ(r.resByte(), bitwise.resByte());
            ASSERT_EQ(r.resBitsLeft(), bitwise.resBitsLeft());
            if (rng() % 8 == 0) {
                const int back = static_cast<int>(rng() % 20);
                r.RewindBits(back);
                bitwise.RewindBits(back);
            }
        }
    }
}

TEST_F(Reservoir, FrameBytesGoInAsByteByByteReads) {
    std::vector<uint32_t> words(mplay::MpegStream::kFrameWords);
    std::mt19937 rng(3);
    for (uint32_t& w : words) {
        w = static_cast<uint32_t>(rng());
    }
    const int total = 4 * mplay::MpegStream::kFrameWords;
    // Aligned and unaligned starts, copies that end inside the buffer, at its end and past it,
    // and a ring position that wraps during the copy.
    for (int startBits : {0, 8, 136, 256, 3, 77}) {
        for (int count : {0, 1, 5, 300, total - startBits / 8, total + 9}) {
            LayerIIIDecoderAccess fast;
            LayerIIIDecoderAccess bytewise;
            for (int i = 0; i < 3900; ++i) {
                fast.PutByte(0);
                bytewise.PutByte(0);
            }
            fast.PointFrameReader(words.data());
            bytewise.PointFrameReader(words.data());
            for (int skipped = 0; skipped < startBits; skipped += 16) {
                const int n = std::min(16, startBits - skipped);
                fast.GetFrameBits(n);
                bytewise.GetFrameBits(n);
            }
            fast.PutFrameBytes(count);
            for (int i = 0; i < count; ++i) {
                bytewise.PutByte(bytewise.GetFrameBits(8));
            }
            ASSERT_EQ(fast.resWrite(), bytewise.resWrite()) << startBits << " " << count;
            ASSERT_EQ(fast.GetFrameBits(13), bytewise.GetFrameBits(13))
                << startBits << " " << count;
            fast.GetBits(8 * 3900);
            bytewise.GetBits(8 * 3900);
            for (int i = 0; i < count + 8; ++i) {
                ASSERT_EQ(fast.GetBits(8), bytewise.GetBits(8))
                    << startBits << " " << count << " byte " << i;
            }
        }
    }
}
