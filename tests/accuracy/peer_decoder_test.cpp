// Files lame made at test time from tones, sweeps, noise, clicks and speech (every sample rate,
// every channel mode, CRC, VBR, low and high bitrates), decoded by sonavix-decode --float and by
// Debian's mpg123 as an independent decoder; after aligning, the RMS difference must stay within
// 2^-15/sqrt(12) of full scale and the largest difference within 2^-14.
#include "decode_tool.h"
#include "pcm_compare.h"
#include "test_media.h"

#include "mplay/FrameHeader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace sonavix::test;

namespace {

const double kMaxBound = std::ldexp(1.0, -14);
const double kRmsBound = std::ldexp(1.0, -15) / std::sqrt(12.0);

// Interleaved 32-bit float samples that a peer decoder writes to standard output.
std::vector<double> FloatsFrom(const std::string& command) {
    const std::string raw = RunCommand(command);
    std::vector<double> samples(raw.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        float f;
        std::memcpy(&f, raw.data() + 4 * i, sizeof f);
        samples[i] = f;
    }
    return samples;
}

std::vector<double> DecodeWithPeer(const std::string& path) {
    return FloatsFrom("mpg123 -q -e f32 --no-gapless -s '" + path + "' 2>/dev/null");
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

// No encoder at hand writes intensity stereo, so joint-stereo frames are re-labelled as
// intensity coded (mode_extension 1: intensity alone, 3: with middle/side): the right channel's
// scale factors then act as intensity positions. On this file the side channel is silent, so
// every band is intensity coded; ffmpeg agrees with this decoder there, mpg123 does not (nor do
// the two peers agree with each other on files whose right channel has content below the
// intensity bound), so ffmpeg is the peer here.
std::vector<uint8_t> RelabelAsIntensity(std::vector<uint8_t> data, uint32_t extension) {
    size_t pos = 0;
    while (pos + 4 <= data.size()) {
        mplay::FrameHeader h;
        h.bits = static_cast<uint32_t>(data[pos]) << 24 | data[pos + 1] << 16 | data[pos + 2] << 8 |
                 data[pos + 3];
        if (h.syncword() != 0xFFF || h.layer() != 1) {
            ++pos;
            continue;
        }
        h.SetLayer(3);
        const uint32_t length = h.FrameLength();
        if (length < 4) {
            ++pos;
            continue;
        }
        if (h.mode() == 1) {
            data[pos + 3] = static_cast<uint8_t>((data[pos + 3] & 0xCF) | (extension << 4));
        }
        pos += length;
    }
    return data;
}

std::vector<double> DecodeWithFfmpeg(const std::string& path) {
    return FloatsFrom("ffmpeg -v quiet -i '" + path + "' -f f32le -ac 2 - 2>/dev/null");
}

TEST(PeerDecoder, Mpeg1IntensityStereoMatchesFfmpeg) {
    if (RunCommand("command -v ffmpeg").empty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::string source = std::string(SONAVIX_TEST_MEDIA_DIR) + "/m1_44k_joint_noise.mp3";
    const std::vector<uint8_t> original = ReadFileBytes(source);
    ASSERT_FALSE(original.empty()) << source;
    for (uint32_t extension : {1u, 3u}) {
        SCOPED_TRACE(extension);
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() /
            ("sonavix-intensity-" + std::to_string(getpid()) + ".mp3");
        const std::vector<uint8_t> data = RelabelAsIntensity(original, extension);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        WavData wav;
        const int status = DecodeWithTool(path.string(), true, wav);
        const std::vector<double> peer = DecodeWithFfmpeg(path.string());
        std::filesystem::remove(path);
        ASSERT_EQ(status, 0);
        ASSERT_FALSE(peer.empty());
        const long shift = BestAlignment(wav.samples, peer, 2 * 1152L * 2, 2);
        const PcmDifference d = ComparePcm(wav.samples, peer, shift);
        std::printf("[ figures ] intensity, mode_extension %u: shift %ld  max %.3g  RMS %.3g\n",
                    extension, shift / 2, d.maxAbs, d.rms);
        EXPECT_GT(d.compared, peer.size() * 9 / 10);
        EXPECT_TRUE(PcmWithin(d, kMaxBound, kRmsBound));
    }
}

} // namespace
