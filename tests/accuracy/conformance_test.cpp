// The conformance streams through sonavix-decode --float, judged as a full-accuracy decoder:
// every sample, rounded at 32768 scale, within one step of the reference, and an RMS difference
// of at most 1/sqrt(12) step.
#include "decode_tool.h"
#include "pcm_compare.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

using namespace sonavix::test;

namespace {

std::string VectorPath(const std::string& name) {
    return std::string(SONAVIX_SHARED_DIR) + "/iso-vectors/" + name;
}

class Conformance : public ::testing::TestWithParam<const char*> {};

TEST_P(Conformance, WithinOneStepOfTheReference) {
    const std::string name = GetParam();
    const std::vector<uint8_t> stream = ReadFileBytes(VectorPath(name + ".bit"));
    const std::vector<uint8_t> refBytes = ReadFileBytes(VectorPath(name + ".pcm"));
    ASSERT_GE(stream.size(), 4u);
    ASSERT_FALSE(refBytes.empty());
    const int refChannels = (stream[3] >> 6) == 3 ? 1 : 2;

    WavData wav;
    ASSERT_EQ(DecodeWithTool(VectorPath(name + ".bit"), true, wav), 0);
    ASSERT_EQ(wav.channels, 2u);

    // Our output, rounded as the measure wants, in the reference's channel layout.
    const std::vector<double> ours = refChannels == 1 ? Channel(wav.samples, 2, 0) : wav.samples;
    std::vector<double> rounded(ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        rounded[i] = std::clamp(std::nearbyint(ours[i] * 32768.0), -32768.0, 32767.0);
    }
    std::vector<double> ref(refBytes.size() / 2);
    for (size_t i = 0; i < ref.size(); ++i) {
        ref[i] = static_cast<int16_t>(refBytes[2 * i] | (refBytes[2 * i + 1] << 8));
    }
    // The reference may stop one frame short of the stream's end; it never starts elsewhere.
    const size_t frame =
        static_cast<size_t>(refChannels) * (name.rfind("mpeg1/", 0) == 0 ? 1152 : 576);
    EXPECT_GE(rounded.size(), ref.size());
    EXPECT_LE(rounded.size(), ref.size() + frame);

    const PcmDifference d = ComparePcm(rounded, ref);
    std::printf("[ figures ] %s: %s (steps of 1/32768)\n", name.c_str(), Describe(d).c_str());
    EXPECT_EQ(d.compared, ref.size());
    EXPECT_TRUE(PcmWithin(d, 1.0, 1.0 / std::sqrt(12.0)));
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance,
                         ::testing::Values("mpeg1/compl", "mpeg1/he_32khz", "mpeg1/he_44khz",
                                           "mpeg1/he_48khz", "mpeg1/hecommon", "mpeg1/si",
                                           "mpeg1/si_huff", "mpeg2/M2L3_bitrate_16_all",
                                           "mpeg2/M2L3_bitrate_22_all", "mpeg2/M2L3_noise"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(n.find('/') + 1);
                         });

TEST(ConformanceFreeFormat, GivesNoOutputAndNoCrash) {
    WavData wav;
    ASSERT_EQ(DecodeWithTool(VectorPath("mpeg1/he_free.bit"), true, wav), 0);
    EXPECT_TRUE(wav.samples.empty());
    ASSERT_EQ(DecodeWithTool(VectorPath("mpeg1/he_free.bit"), false, wav), 0);
    EXPECT_TRUE(wav.samples.empty());
}

} // namespace

namespace {

// The 16-bit file holds the same samples as the float one, converted by the player's rule.
TEST(DecodeTool, SixteenBitOutputIsTheConvertedFloatOutput) {
    WavData pcm;
    WavData flt;
    const std::string input = VectorPath("mpeg1/hecommon.bit");
    ASSERT_EQ(DecodeWithTool(input, false, pcm), 0);
    ASSERT_EQ(DecodeWithTool(input, true, flt), 0);
    EXPECT_EQ(pcm.channels, 2u);
    EXPECT_EQ(pcm.sampleRate, 44100u);
    EXPECT_EQ(pcm.bitsPerSample, 16u);
    ASSERT_EQ(pcm.samples.size(), flt.samples.size());
    size_t far = 0;
    for (size_t i = 0; i < pcm.samples.size(); ++i) {
        const double expected = std::clamp(std::trunc(flt.samples[i] * 32767.0), -32768.0, 32767.0);
        far += std::fabs(pcm.samples[i] * 32768.0 - expected) > 1.0;
    }
    EXPECT_EQ(far, 0u);
}

TEST(DecodeTool, FailsWithStatusOneOnUnreadableOrUnwritableFiles) {
    const std::string tool = std::string("'") + SONAVIX_BIN_DIR + "/sonavix-decode' ";
    auto status = [](const std::string& command) {
        const int raw = std::system((command + " 2>/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status(tool + "/nonexistent/in.mp3 /dev/null"), 1);
    EXPECT_EQ(status(tool + "'" + VectorPath("mpeg1/hecommon.bit") + "' /nonexistent/out.wav"), 1);
    EXPECT_EQ(status(tool + "'" + VectorPath("mpeg1/hecommon.bit") + "' /dev/null"), 0);
    EXPECT_EQ(status(tool + "--help >/dev/null"), 0);
    EXPECT_EQ(status(tool + "only-one-argument"), 2);
    const std::string message = RunCommand(tool + "/nonexistent/in.mp3 /dev/null 2>&1");
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

} // namespace
