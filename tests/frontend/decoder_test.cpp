// The frame driver: main_data_begin rules, reservoir rebasing on long streams, CRC frames, the
// level report and the single-channel layout, on hand-made frames and on the test media.
#include "bit_writer.h"
#include "decoder_access.h"
#include "frame_builder.h"
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using mplay::LayerIIIDecoder;
using mplay::LayerIIIDecoderAccess;
using mplay::MpegStream;
using sonavix::test::BitWriter;
using sonavix::test::LoadTestMedia;
using sonavix::test::MediaFile;
using sonavix::test::ReadFileBytes;

namespace {

constexpr uint32_t kPcmValues = 2304 * 4;

// A silent MPEG-1 stereo 128 kbit/s frame body: side information with only main_data_begin set.
std::vector<uint32_t> SilentBody(int mainDataBegin) {
    BitWriter w;
    w.Put(static_cast<uint32_t>(mainDataBegin), 9);
    return w.Words(MpegStream::kFrameWords);
}
constexpr int32_t kSilentMainData = 381;

struct Decoded {
    std::vector<int16_t> pcm;
    int framesDecoded = 0;
    int framesTaken = 0;
};

// Decodes every Layer III frame of a file the way the pipeline does.
Decoded DecodeFile(const std::vector<uint8_t>& data, mplay::PcmCallback callback) {
    Decoded out;
    MpegStream stream;
    EXPECT_TRUE(stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    LayerIIIDecoder decoder;
    EXPECT_EQ(decoder.Init(stream.GetId(), stream.GetMode(), stream.GetModeExtension(),
                           stream.GetSamplingFrequency(), callback),
              1);
    stream.Rewind();
    std::vector<int16_t> buffer(kPcmValues);
    int32_t mainData, id, mode, modeExt, sf;
    while (const uint32_t* body = stream.NextFrame(mainData, id, mode, modeExt, sf)) {
        ++out.framesTaken;
        uint32_t filled = 0;
        out.framesDecoded += decoder.DecodeFrame(body, mainData, buffer.data(), filled, id, mode,
                                                 modeExt, stream.GetProtectionBit());
        out.pcm.insert(out.pcm.end(), buffer.begin(), buffer.begin() + filled);
    }
    return out;
}

const MediaFile* Media(const std::string& name) {
    static const std::vector<MediaFile> files = LoadTestMedia();
    for (const MediaFile& f : files) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

struct LevelLog {
    static inline int calls = 0;
    static inline bool negative = false;
    static inline double last[32] = {};
    static inline bool shrank = false;
    static int32_t Callback(double* sample, double* levels, int32_t n) {
        if (sample != nullptr) {
            return mplay::SampleToPcm(sample, levels, n);
        }
        ++calls;
        for (int i = 0; i < 32; ++i) {
            negative |= levels[i] < 0;
            // Within one frame the second report carries the sums of both granules.
            if (calls % 2 == 0) {
                shrank |= levels[i] < last[i];
            }
            last[i] = levels[i];
        }
        EXPECT_EQ(n, 32);
        return 0;
    }
};

// Any callback but the player's own: records what it is given, in order, and converts as the
// player does.
struct CallLog {
    static inline std::vector<int> calls; // channel of each sample, or -1 for a level report
    static int32_t Callback(double* sample, double* levels, int32_t n) {
        calls.push_back(sample != nullptr ? n : -1);
        return mplay::SampleToPcm(sample, levels, n);
    }
};

} // namespace

TEST(DecodeFrame, RefusesUseWithoutASuccessfulInit) {
    LayerIIIDecoder decoder;
    const auto body = SilentBody(0);
    std::vector<int16_t> pcm(kPcmValues);
    uint32_t filled = 0;
    EXPECT_EQ(decoder.DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 0);
    EXPECT_EQ(decoder.Init(1, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(decoder.Init(1, 0, 0, 3, mplay::SampleToPcm), 0);
    EXPECT_EQ(decoder.DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 0);
    EXPECT_EQ(filled, 0u);
}

TEST(DecodeFrame, MainDataBeginAgainstTheReservoir) {
    LayerIIIDecoder decoder;
    ASSERT_EQ(decoder.Init(1, 0, 0, 0, mplay::SampleToPcm), 1);
    std::vector<int16_t> pcm(kPcmValues, 1);
    uint32_t filled = 0;
    // Main data before the first byte held: nothing decoded, nothing written.
    auto body = SilentBody(100);
    EXPECT_EQ(decoder.DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 0);
    EXPECT_EQ(filled, 0u);
    EXPECT_EQ(pcm[0], 1);
    // The next frame may reach back into the first frame's main data.
    body = SilentBody(kSilentMainData);
    EXPECT_EQ(decoder.DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 1);
    EXPECT_EQ(filled, 2304u);
    EXPECT_EQ(pcm[0], 0);
    // But not further back than the reservoir holds.
    body = SilentBody(511);
    LayerIIIDecoder fresh;
    ASSERT_EQ(fresh.Init(1, 0, 0, 0, mplay::SampleToPcm), 1);
    filled = 0;
    const auto first = SilentBody(0);
    EXPECT_EQ(fresh.DecodeFrame(first.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 1);
    EXPECT_EQ(fresh.DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 0);
    EXPECT_EQ(filled, 2304u);
}

TEST(DecodeFrame, LongStreamsRebaseTheReservoirCounters) {
    auto decoder = std::make_unique<LayerIIIDecoder>();
    LayerIIIDecoderAccess a{*decoder};
    ASSERT_EQ(decoder->Init(1, 0, 0, 0, mplay::SampleToPcm), 1);
    std::vector<int16_t> pcm(kPcmValues);
    bool rebased = false;
    for (int frame = 0; frame < 60; ++frame) {
        const auto body = SilentBody(frame % 3 == 0 ? 0 : 200);
        uint32_t filled = 0;
        const int32_t before = a.frameStart();
        ASSERT_EQ(
            decoder->DecodeFrame(body.data(), kSilentMainData, pcm.data(), filled, 1, 0, 0, 1), 1)
            << frame;
        rebased |= a.frameStart() < before;
        ASSERT_EQ(filled, 2304u);
        // The invariant that main_data_begin is measured against.
        ASSERT_EQ(((a.frameStart() % 4096) + 4096) % 4096, a.resWrite()) << frame;
        ASSERT_LE(a.BitsRead(), 8 * (4096 + 2 * kSilentMainData)) << frame;
    }
    EXPECT_TRUE(rebased);
}

TEST(DecodeFrame, OversizedMainDataLengthStaysInTheBuffers) {
    LayerIIIDecoder decoder;
    ASSERT_EQ(decoder.Init(1, 3, 0, 0, mplay::SampleToPcm), 1);
    std::vector<uint32_t> body(MpegStream::kFrameWords, 0xFFFFFFFFu);
    body[0] = 0; // main_data_begin 0
    body[1] = 0;
    std::vector<int16_t> pcm(kPcmValues);
    for (int32_t length : {100000, -50, 2047, 0}) {
        uint32_t filled = 0;
        decoder.DecodeFrame(body.data(), length, pcm.data(), filled, 1, 3, 0, 0);
        EXPECT_TRUE(filled == 0 || filled == 2304u) << length;
    }
}

TEST(DecodeFrameMedia, SingleChannelFillsBothSlotsInOrder) {
    const MediaFile* f = Media("m1_44k_mono_speech");
    ASSERT_NE(f, nullptr) << "test media missing";
    const auto data = ReadFileBytes(f->path);
    const Decoded d = DecodeFile(data, mplay::SampleToPcm);
    EXPECT_EQ(d.framesDecoded, d.framesTaken);
    EXPECT_EQ(d.pcm.size(), static_cast<size_t>(d.framesDecoded) * 2304);
    double energy = 0;
    for (size_t i = 0; i + 1 < d.pcm.size(); i += 2) {
        ASSERT_EQ(d.pcm[i], d.pcm[i + 1]) << "pair " << i / 2;
        energy += double(d.pcm[i]) * d.pcm[i];
    }
    EXPECT_GT(energy, 0);

    // Against an independent decoder's mono output: same samples in the same order.
    const std::string ref =
        sonavix::test::RunCommand("mpg123 -q -s -m '" + f->path + "' 2>/dev/null");
    const size_t n = std::min(ref.size() / 2, d.pcm.size() / 2);
    ASSERT_GT(n, 44100u);
    double diff = 0, signal = 0;
    for (size_t i = 0; i < n; ++i) {
        const int16_t r =
            static_cast<int16_t>(uint8_t(ref[2 * i]) | (uint8_t(ref[2 * i + 1]) << 8));
        diff += std::pow(double(r) - d.pcm[2 * i], 2);
        signal += double(r) * r;
    }
    EXPECT_LT(std::sqrt(diff / n), 0.01 * std::sqrt(signal / n));
}

TEST(DecodeFrameMedia, CrcWordChangesNothing) {
    const MediaFile* f = Media("m1_44k_joint_crc");
    ASSERT_NE(f, nullptr) << "test media missing";
    const auto data = ReadFileBytes(f->path);
    MpegStream stream;
    ASSERT_TRUE(stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    ASSERT_EQ(stream.GetProtectionBit(), 0);
    LayerIIIDecoder withCrc, without;
    ASSERT_EQ(
        withCrc.Init(1, stream.GetMode(), 0, stream.GetSamplingFrequency(), mplay::SampleToPcm), 1);
    ASSERT_EQ(
        without.Init(1, stream.GetMode(), 0, stream.GetSamplingFrequency(), mplay::SampleToPcm), 1);
    stream.Rewind();
    std::vector<int16_t> a(kPcmValues), b(kPcmValues);
    int32_t mainData, id, mode, modeExt, sf;
    int frames = 0;
    while (const uint32_t* body = stream.NextFrame(mainData, id, mode, modeExt, sf)) {
        // The same body with its CRC word taken out.
        std::vector<uint32_t> stripped(MpegStream::kFrameWords, 0);
        for (int w = 0; w + 1 < MpegStream::kFrameWords; ++w) {
            stripped[w] = body[w] << 16 | body[w + 1] >> 16;
        }
        uint32_t fa = 0, fb = 0;
        ASSERT_EQ(withCrc.DecodeFrame(body, mainData, a.data(), fa, id, mode, modeExt, 0), 1);
        ASSERT_EQ(
            without.DecodeFrame(stripped.data(), mainData, b.data(), fb, id, mode, modeExt, 1), 1);
        ASSERT_EQ(fa, fb);
        ASSERT_TRUE(std::equal(a.begin(), a.begin() + fa, b.begin())) << "frame " << frames;
        ++frames;
    }
    EXPECT_GT(frames, 10);
}

TEST(DecodeFrameMedia, LevelReportAfterEveryGranule) {
    const MediaFile* f = Media("m1_44k_joint_noise");
    ASSERT_NE(f, nullptr) << "test media missing";
    const auto data = ReadFileBytes(f->path);
    LevelLog::calls = 0;
    const Decoded d = DecodeFile(data, &LevelLog::Callback);
    EXPECT_EQ(LevelLog::calls, 2 * d.framesDecoded);
    EXPECT_FALSE(LevelLog::negative);
    EXPECT_FALSE(LevelLog::shrank);
}

// The player's converter takes both channels of a granule at once; any other callback must still
// be given every sample, channel by channel and granule by granule, with the level report after
// channel 0, and the 16-bit result must be the same.
TEST(DecodeFrameMedia, OwnConverterAndOtherCallbacksGiveTheSamePcm) {
    for (const char* name : {"m1_44k_stereo_sweep", "m1_44k_mono_speech", "m2_22k_joint_clicks",
                             "m2_16k_mono_low", "m1_44k_dual_split"}) {
        const MediaFile* f = Media(name);
        ASSERT_NE(f, nullptr) << "test media missing: " << name;
        const auto data = ReadFileBytes(f->path);
        CallLog::calls.clear();
        const Decoded own = DecodeFile(data, mplay::SampleToPcm);
        const Decoded other = DecodeFile(data, &CallLog::Callback);
        ASSERT_GT(own.framesDecoded, 10) << name;
        EXPECT_EQ(own.framesDecoded, other.framesDecoded) << name;
        EXPECT_TRUE(own.pcm == other.pcm) << name;

        const int channels = f->mode == "mono" ? 1 : 2;
        const size_t granule = 576 * channels + 1;
        ASSERT_EQ(CallLog::calls.size() % granule, 0u) << name;
        ASSERT_EQ(CallLog::calls.size() / granule * 576 * 2, own.pcm.size()) << name;
        for (size_t i = 0; i < CallLog::calls.size(); ++i) {
            const size_t at = i % granule;
            const int expected = at < 576 ? 0 : at == 576 ? -1 : 1;
            ASSERT_EQ(CallLog::calls[i], expected) << name << " call " << i;
        }
    }
}
