// DecodeMono is the frame loop's output (what the players and the golden digests get) with the
// two channels averaged, for single-channel and stereo streams of both versions; bytes that
// decode to nothing give false and no samples.
#include "playback_media.h"

#include "mplay/DecodeMono.h"
#include "mplay/MpegStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DecodeMono, IsTheFrameLoopsOutputWithItsChannelsAveraged) {
    for (const char* name : {"/iso-vectors/mpeg1/he_32khz.bit", "/iso-vectors/mpeg1/hecommon.bit",
                             "/iso-vectors/mpeg2/M2L3_noise.bit"}) {
        const auto bytes = sonavix::test::ReadBytes(std::string(SONAVIX_SHARED_DIR) + name);
        const std::vector<int16_t> pairs = sonavix::test::DecodeToPcm(bytes);
        mplay::MpegStream stream;
        ASSERT_TRUE(stream.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()))) << name;
        std::vector<int16_t> mono;
        uint32_t rate = 0;
        ASSERT_TRUE(mplay::DecodeMono(bytes, mono, rate)) << name;
        EXPECT_EQ(rate, stream.GetSampleRate()) << name;
        ASSERT_EQ(2 * mono.size(), pairs.size()) << name;
        for (size_t i = 0; i < mono.size(); ++i) {
            ASSERT_EQ(mono[i], (pairs[2 * i] + pairs[2 * i + 1]) / 2) << name << " sample " << i;
        }
    }
}

TEST(DecodeMono, BytesThatDecodeToNothingGiveFalseAndNoSamples) {
    std::vector<uint8_t> reserved = {0xFF, 0xFB, 0x9C, 0x00}; // the reserved rate code
    reserved.resize(1000, 0);
    for (const auto& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>(3000, 0xff), reserved}) {
        std::vector<int16_t> mono(100, 7);
        uint32_t rate = 12345;
        EXPECT_FALSE(mplay::DecodeMono(bytes, mono, rate));
        EXPECT_TRUE(mono.empty());
        EXPECT_EQ(rate, 12345u);
    }
}

} // namespace
