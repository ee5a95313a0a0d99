// Bad input through the whole reader and decoder: no crash, no sanitizer finding, bounded time.
#include "decode_all.h"
#include "frame_builder.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using sonavix::test::Append;
using sonavix::test::DecodeAll;
using sonavix::test::DecodeStats;
using sonavix::test::HeaderFields;
using sonavix::test::LoadTestMedia;
using sonavix::test::MakeFrame;
using sonavix::test::ReadFileBytes;

namespace {

// Generous enough for sanitizer builds; a hang or a quadratic search shows far above it.
constexpr double kSecondsPerCase = 5.0;

DecodeStats TimedDecode(const std::vector<uint8_t>& data) {
    const auto start = std::chrono::steady_clock::now();
    const DecodeStats stats = DecodeAll(data);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), kSecondsPerCase);
    EXPECT_FALSE(stats.oversizedFrame);
    return stats;
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(rng());
    }
    return bytes;
}

std::vector<uint8_t> Sample(const char* name) {
    for (const auto& f : LoadTestMedia()) {
        if (f.name == name) {
            return ReadFileBytes(f.path);
        }
    }
    ADD_FAILURE() << "test media " << name << " missing";
    return {};
}

const char* const kSamples[] = {"m1_44k_joint_vbr", "m1_44k_mono_crc", "m2_24k_joint_noise",
                                "m2_16k_mono_low"};

} // namespace

TEST(Malformed, TruncatedFiles) {
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const auto full = Sample(name);
        const int whole = DecodeAll(full).framesTaken;
        for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{37}, size_t{417},
                           size_t{1001}, full.size() / 2, full.size() - 7, full.size() - 1}) {
            std::vector<uint8_t> part(full.begin(), full.begin() + std::min(cut, full.size()));
            const DecodeStats stats = TimedDecode(part);
            EXPECT_LE(stats.framesTaken, whole);
        }
    }
}

TEST(Malformed, JunkOfOddLengthsBeforeTheFirstFrame) {
    std::mt19937 rng(7);
    const auto clean = Sample("m1_44k_stereo_sweep");
    const int whole = DecodeAll(clean).framesTaken;
    for (size_t junk : {1, 2, 3, 5, 7, 13, 255, 1023, 4097}) {
        // Junk free of 0xFF cannot hold a sync: every frame must still be found.
        std::vector<uint8_t> data = RandomBytes(rng, junk);
        for (auto& b : data) {
            b &= 0x7F;
        }
        Append(data, clean);
        EXPECT_EQ(TimedDecode(data).framesTaken, whole) << junk;
        // Unrestricted junk may hold a false first frame; it must only be survived.
        std::vector<uint8_t> wild = RandomBytes(rng, junk);
        Append(wild, clean);
        TimedDecode(wild);
    }
}

TEST(Malformed, Id3v2TagFullOfSyncLikeBytes) {
    const auto clean = Sample("m1_44k_mono_crc");
    const int whole = DecodeAll(clean).framesTaken;
    std::vector<uint8_t> payload;
    for (int i = 0; i < 6000; ++i) {
        payload.push_back(i % 2 ? static_cast<uint8_t>(0xF0 | (i % 16)) : 0xFF);
    }
    const uint32_t size = static_cast<uint32_t>(payload.size());
    std::vector<uint8_t> tag = {'I',
                                'D',
                                '3',
                                4,
                                0,
                                0,
                                static_cast<uint8_t>(size >> 21 & 0x7F),
                                static_cast<uint8_t>(size >> 14 & 0x7F),
                                static_cast<uint8_t>(size >> 7 & 0x7F),
                                static_cast<uint8_t>(size & 0x7F)};
    Append(tag, payload);
    std::vector<uint8_t> data = tag;
    Append(data, clean);
    EXPECT_EQ(TimedDecode(data).framesTaken, whole);

    // The same bytes without a valid tag header are searched as frames: survived.
    std::vector<uint8_t> bare = payload;
    Append(bare, clean);
    TimedDecode(bare);
    // A tag that claims more than the data holds.
    tag[6] = 0x7F;
    TimedDecode(tag);
}

TEST(Malformed, SaturatedAndRandomData) {
    TimedDecode(std::vector<uint8_t>(1 << 16, 0xFF));
    TimedDecode(std::vector<uint8_t>(1 << 16, 0x00));
    std::mt19937 rng(2024);
    for (int round = 0; round < 24; ++round) {
        TimedDecode(RandomBytes(rng, 1 + (rng() % 65536)));
    }
}

// Valid headers with bodies of saturated or random bits: every side-info field, count and
// table selection a stream can say, through every stage.
TEST(Malformed, ValidHeadersWithGarbageBodies) {
    std::vector<HeaderFields> headers;
    for (uint32_t id : {1u, 0u}) {
        for (uint32_t mode : {0u, 1u, 3u}) {
            for (uint32_t protection : {0u, 1u}) {
                HeaderFields f;
                f.id = id;
                f.mode = mode;
                f.modeExtension = mode == 1 ? 3 : 0;
                f.protection = protection;
                f.bitrateIndex = id ? 14 : 3;
                f.samplingFrequency = id ? 2 : 1;
                headers.push_back(f);
            }
        }
    }
    std::mt19937 rng(99);
    for (const HeaderFields& f : headers) {
        SCOPED_TRACE(testing::Message() << "id " << f.id << " mode " << f.mode);
        const uint32_t body = sonavix::test::FrameLengthOf(f) - 4;
        for (uint8_t fill : {uint8_t{0xFF}, uint8_t{0x00}}) {
            std::vector<uint8_t> data;
            for (int i = 0; i < 12; ++i) {
                Append(data, MakeFrame(f, std::vector<uint8_t>(body, fill), body));
            }
            const DecodeStats stats = TimedDecode(data);
            EXPECT_EQ(stats.framesTaken, 12);
        }
        std::vector<uint8_t> data;
        for (int i = 0; i < 60; ++i) {
            auto bytes = RandomBytes(rng, body);
            if (i % 4 == 0) {
                bytes[0] = 0; // main_data_begin 0 now and then, so that frames decode
                bytes[f.protection ? 0 : 2] = 0;
            }
            Append(data, MakeFrame(f, bytes, body));
        }
        const DecodeStats stats = TimedDecode(data);
        EXPECT_EQ(stats.framesTaken, 60);
        EXPECT_GT(stats.framesDecoded, 0);
    }
}

TEST(Malformed, BitFlippedRealFiles) {
    std::mt19937 rng(5);
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        auto data = Sample(name);
        for (size_t i = 0; i < data.size(); i += 1 + rng() % 64) {
            data[i] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        TimedDecode(data);
    }
}
