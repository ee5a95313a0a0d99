// Files lame made at test time from tones, sweeps, noise, clicks and speech (every sample rate,
// every channel mode, CRC, VBR, low and high bitrates), decoded by sonavix-decode --float and by
// Debian's mpg123 as an independent decoder; after aligning, the RMS difference must stay within
// 2^-15/sqrt(12) of full scale and the largest difference within 2^-14.
#include "decode_tool.h"
#include "pcm_compare.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

using namespace sonavix::test;

namespace {

const double kMaxBound = std::ldexp(1.0, -14);
const double kRmsBound = std::ldexp(1.0, -15) / std::sqrt(12.0);

std::vector<double> DecodeWithPeer(const std::string& path) {
    const std::string raw =
        RunCommand("mpg123 -q -e f32 --no-gapless -s '" + path + "' 2>/dev/null");
    std::vector<double> samples(raw.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        float f;
        std::memcpy(&f, raw.data() + 4 * i, sizeof f);
        samples[i] = f;
    }
    return samples;
}

TEST(PeerDecoder, LameFilesMatchMpg123) {
    const std::vector<MediaFile> media = LoadTestMedia();
    ASSERT_FALSE(media.empty()) << "no manifest in " << SONAVIX_TEST_MEDIA_DIR;
    if (RunCommand("command -v mpg123").empty()) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    for (const MediaFile& file : media) {
        SCOPED_TRACE(file.name);
        WavData wav;
        ASSERT_EQ(DecodeWithTool(file.path, true, wav), 0);
        ASSERT_EQ(wav.sampleRate, file.rate);
        const int channels = file.mode == "mono" ? 1 : 2;
        const std::vector<double> ours = channels == 1 ? Channel(wav.samples, 2, 0) : wav.samples;
        const std::vector<double> peer = DecodeWithPeer(file.path);
        ASSERT_FALSE(peer.empty());

        // The peer may leave out an encoder info frame or a decoder delay: search two frames.
        const long shift = BestAlignment(ours, peer, 2 * 1152L * channels, channels);
        const PcmDifference d = ComparePcm(ours, peer, shift);
        std::printf("[ figures ] %-22s shift %5ld  max %.3g (%.2f of 2^-14)  RMS %.3g (%.2f of "
                    "bound)\n",
                    file.name.c_str(), shift / channels, d.maxAbs, d.maxAbs / kMaxBound, d.rms,
                    d.rms / kRmsBound);
        EXPECT_GT(d.compared, peer.size() * 9 / 10);
        EXPECT_TRUE(PcmWithin(d, kMaxBound, kRmsBound));
    }
}

} // namespace
