// The files made at test time: frame count and header values against ffprobe (whose packets
// leave out the encoder's Info frame), and every frame accepted by the decoder.
#include "decode_all.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using sonavix::test::DecodeAll;
using sonavix::test::LoadTestMedia;
using sonavix::test::MediaFile;
using sonavix::test::ReadFileBytes;
using sonavix::test::RunCommand;

namespace {

std::map<std::string, std::string> Probe(const std::string& path) {
    const std::string out =
        RunCommand("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
                   "stream=nb_read_packets,sample_rate,channels,bit_rate -of default=nw=1 '" +
                   path + "'");
    std::map<std::string, std::string> values;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

int ModeCode(const std::string& mode) {
    if (mode == "stereo") {
        return 0;
    }
    if (mode == "joint") {
        return 1;
    }
    return mode == "dual" ? 2 : 3;
}

} // namespace

TEST(RealFiles, CoverEverySupportedCase) {
    const auto files = LoadTestMedia();
    ASSERT_FALSE(files.empty()) << "no manifest in " << SONAVIX_TEST_MEDIA_DIR;
    std::map<uint32_t, int> rates;
    std::map<std::string, int> modes;
    int crc = 0, vbr = 0;
    for (const MediaFile& f : files) {
        ++rates[f.rate];
        ++modes[f.mode];
        crc += f.crc;
        vbr += f.vbr;
    }
    for (uint32_t rate : {16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
        EXPECT_GT(rates[rate], 0) << rate;
    }
    for (const char* mode : {"mono", "stereo", "joint", "dual"}) {
        EXPECT_GT(modes[mode], 0) << mode;
    }
    EXPECT_GT(crc, 0);
    EXPECT_GT(vbr, 0);
}

TEST(RealFiles, HeadersAndFrameCountsMatchFfprobe) {
    for (const MediaFile& f : LoadTestMedia()) {
        SCOPED_TRACE(f.name);
        const auto data = ReadFileBytes(f.path);
        ASSERT_FALSE(data.empty());
        auto probe = Probe(f.path);
        ASSERT_FALSE(probe["nb_read_packets"].empty());

        mplay::MpegStream stream;
        ASSERT_TRUE(stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
        EXPECT_EQ(std::to_string(stream.GetSampleRate()), probe["sample_rate"]);
        EXPECT_EQ(stream.GetSampleRate(), f.rate);
        EXPECT_EQ(stream.GetId(), f.rate >= 32000 ? 1 : 0);
        EXPECT_EQ(stream.GetMode(), ModeCode(f.mode));
        EXPECT_EQ(probe["channels"], f.mode == "mono" ? "1" : "2");
        EXPECT_EQ(stream.GetProtectionBit(), f.crc ? 0 : 1);
        EXPECT_EQ(stream.GetLayer(), 3);

        stream.Rewind();
        int frames = 0;
        bool steady = true;
        int32_t mainData, id, mode, modeExt, sf;
        while (stream.NextFrame(mainData, id, mode, modeExt, sf) != nullptr) {
            ++frames;
            steady &= id == stream.GetId() && stream.GetLayer() == 3 &&
                      (mode == 3) == (f.mode == "mono") &&
                      stream.GetProtectionBit() == (f.crc ? 0 : 1);
            if (!f.vbr) {
                steady &= stream.GetHeader().Bitrate() == f.bitrateKbps * 1000;
            }
        }
        EXPECT_TRUE(steady);
        EXPECT_EQ(frames, std::stoi(probe["nb_read_packets"]) + (f.infoFrame ? 1 : 0));
        if (!f.vbr) {
            EXPECT_EQ(probe["bit_rate"], std::to_string(f.bitrateKbps * 1000));
        }
    }
}

TEST(RealFiles, DecoderAcceptsEveryFrame) {
    for (const MediaFile& f : LoadTestMedia()) {
        SCOPED_TRACE(f.name);
        const auto stats = DecodeAll(ReadFileBytes(f.path));
        EXPECT_GT(stats.framesTaken, 20);
        EXPECT_EQ(stats.layer3Frames, stats.framesTaken);
        EXPECT_EQ(stats.framesDecoded, stats.framesTaken);
        EXPECT_FALSE(stats.oversizedFrame);
    }
}
