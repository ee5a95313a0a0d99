// The frame loop end to end over a conformance stream: buffer hand-over, the closing writes, the
// stop request, frames of other layers, the single-channel layout and the level reports.
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace mplay;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Vector(const std::string& name) {
    return std::string(SONAVIX_SHARED_DIR) + "/iso-vectors/" + name;
}

// Lends buffers of exactly capacity + one MPEG-1 frame, so that any write past that room is
// caught by the sanitizers, and keeps everything handed over.
class RecordingSink : public PcmSink {
  public:
    explicit RecordingSink(uint32_t capacity) : m_capacity(capacity), m_buffer(capacity + 2304) {}

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = m_capacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        writes.push_back(count);
        values.insert(values.end(), m_buffer.begin(), m_buffer.begin() + count);
        count = 0;
        if (stopAfterFirstWrite) {
            stop = true;
        }
        return m_buffer.data();
    }

    std::vector<uint32_t> writes;
    std::vector<int16_t> values;
    bool stopAfterFirstWrite = false;
    std::atomic<bool> stop{false};

  private:
    uint32_t m_capacity;
    std::vector<int16_t> m_buffer;
};

TEST(SampleToPcm, ClipsTruncatesAndIgnoresLevelReports) {
    auto convert = [](double v) { return SampleToPcm(&v, nullptr, 0); };
    EXPECT_EQ(convert(40000.0), 32767);
    EXPECT_EQ(convert(32767.0), 32767);
    EXPECT_EQ(convert(32767.9), 32767);
    EXPECT_EQ(convert(-32768.0), -32768);
    EXPECT_EQ(convert(-40000.0), -32768);
    EXPECT_EQ(convert(1.9), 1);
    EXPECT_EQ(convert(-1.9), -1);
    EXPECT_EQ(convert(std::nan("")), -32768);
    double levels[32] = {};
    EXPECT_EQ(SampleToPcm(nullptr, levels, 32), 0);
    EXPECT_EQ(SampleToPcm(nullptr, nullptr, 32), 0);
}

struct FrameLoopTest : ::testing::Test {
    std::vector<uint8_t> data = ReadBytes(Vector("mpeg1/compl.bit")); // single channel
    MpegStream stream;
    void Open() {
        ASSERT_FALSE(data.empty());
        ASSERT_TRUE(stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    }
};

TEST_F(FrameLoopTest, HandsOverFullBuffersThenDrainsWithAnEmptyWrite) {
    Open();
    RecordingSink sink(20000);
    EXPECT_TRUE(RunFrameLoop(stream, sink));
    ASSERT_GE(sink.writes.size(), 3u);
    for (size_t i = 0; i + 2 < sink.writes.size(); ++i) {
        EXPECT_GT(sink.writes[i], 20000u);
        EXPECT_LE(sink.writes[i], 20000u + 2304u);
    }
    EXPECT_GT(sink.writes[sink.writes.size() - 2], 0u);
    EXPECT_EQ(sink.writes.back(), 0u);
}

TEST_F(FrameLoopTest, SingleChannelIsHeardOnBothSpeakersInOrder) {
    Open();
    RecordingSink sink(163840);
    RunFrameLoop(stream, sink);
    const std::vector<uint8_t> ref = ReadBytes(Vector("mpeg1/compl.pcm"));
    const size_t samples = ref.size() / 2;
    ASSERT_EQ(sink.values.size(), 2 * samples);
    size_t mismatches = 0;
    for (size_t n = 0; n < samples; ++n) {
        ASSERT_EQ(sink.values[2 * n], sink.values[2 * n + 1]) << "pair " << n;
        const int16_t expected = static_cast<int16_t>(ref[2 * n] | (ref[2 * n + 1] << 8));
        // Truncation here against the reference's rounding: at most one step apart.
        mismatches += std::abs(sink.values[2 * n] - expected) > 1;
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(FrameLoopTest, StopRequestEndsTheLoopWithoutTheClosingWrites) {
    Open();
    RecordingSink sink(20000);
    sink.stopAfterFirstWrite = true;
    EXPECT_FALSE(RunFrameLoop(stream, sink, &sink.stop));
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_GT(sink.writes[0], 20000u);
}

// The layer field sits in bits 2-1 of the header's second byte; 2 is Layer II.
void MarkLayerII(std::vector<uint8_t>& data, size_t headerOffset) {
    data[headerOffset + 1] = static_cast<uint8_t>((data[headerOffset + 1] & ~0x06) | 0x04);
}

TEST_F(FrameLoopTest, FramesOfOtherLayersGiveNoOutput) {
    Open();
    RecordingSink whole(163840);
    RunFrameLoop(stream, whole);
    // Mark every frame as Layer II: the frame loop must decode none of them.
    std::vector<size_t> headers;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0xFF && (data[i + 1] & 0xFE) == 0xFA) {
            headers.push_back(i);
        }
    }
    for (size_t h : headers) {
        MarkLayerII(data, h);
    }
    MpegStream other;
    ASSERT_TRUE(other.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    RecordingSink sink(163840);
    EXPECT_TRUE(RunFrameLoop(other, sink));
    EXPECT_TRUE(sink.values.empty());
    EXPECT_FALSE(whole.values.empty());
}

std::vector<std::vector<double>> g_levelReports;

int32_t CountLevels(double* sample, double* levels, int32_t n) {
    if (!sample) {
        g_levelReports.emplace_back(levels, levels + n);
    }
    return SampleToPcm(sample, levels, n);
}

TEST_F(FrameLoopTest, EachGranuleReportsNonNegativeLevelsThatAccumulateOverTheFrame) {
    Open();
    RecordingSink sink(163840);
    g_levelReports.clear();
    RunFrameLoop(stream, sink, nullptr, CountLevels);
    const size_t frames = sink.values.size() / 2304;
    ASSERT_EQ(g_levelReports.size(), 2 * frames);
    for (size_t r = 0; r < g_levelReports.size(); ++r) {
        ASSERT_EQ(g_levelReports[r].size(), 32u);
        for (int sb = 0; sb < 32; ++sb) {
            ASSERT_GE(g_levelReports[r][sb], 0.0);
            if (r % 2 == 1) { // the second granule carries both granules' sums
                ASSERT_GE(g_levelReports[r][sb], g_levelReports[r - 1][sb]);
            }
        }
    }
}

} // namespace

namespace {

size_t g_nonFinite = 0;
size_t g_samples = 0;

int32_t CheckFinite(double* sample, double* levels, int32_t n) {
    if (sample) {
        ++g_samples;
        g_nonFinite += !std::isfinite(*sample);
    }
    return SampleToPcm(sample, levels, n);
}

// Damaged copies of streams that use every stage (short and mixed blocks, middle/side and
// intensity stereo, both MPEG versions) must decode to finite samples without touching memory
// outside the decoder's arrays, which the sanitizer build checks.
TEST(FrameLoopDamagedInput, DecodesToFiniteSamples) {
    const char* streams[] = {"mpeg1/hecommon.bit", "mpeg1/si_huff.bit", "mpeg2/M2L3_noise.bit",
                             "mpeg1/compl.bit"};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (const char* name : streams) {
        std::vector<uint8_t> original = ReadBytes(Vector(name));
        ASSERT_FALSE(original.empty()) << name;
        original.resize(std::min<size_t>(original.size(), 16000));
        for (int trial = 0; trial < 12; ++trial) {
            std::vector<uint8_t> data = original;
            const int flips = 1 + static_cast<int>(next() % 200);
            for (int i = 0; i < flips; ++i) {
                data[next() % data.size()] ^= static_cast<uint8_t>(1u << (next() % 8));
            }
            if (trial % 3 == 0) { // a run of 0xFF, the most extreme values for any field
                const size_t at = next() % data.size();
                for (size_t i = at; i < std::min(data.size(), at + 64); ++i) {
                    data[i] = 0xFF;
                }
            }
            MpegStream stream;
            ASSERT_TRUE(stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
            RecordingSink sink(163840);
            g_nonFinite = 0;
            RunFrameLoop(stream, sink, nullptr, CheckFinite);
            EXPECT_EQ(g_nonFinite, 0u) << name << " trial " << trial;
        }
    }
    EXPECT_GT(g_samples, 0u);
}

} // namespace
