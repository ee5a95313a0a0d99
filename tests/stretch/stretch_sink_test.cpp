// The stretching sink between the frame loop and the wave output: short first blocks that grow,
// the whole stretched sound passed on, one closing write, and nothing more once stopped.
#include "StretchSink.h"
#include "playback_media.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace {

using mplay::StretchSink;
using mplay::TimeStretch;

// Records each write's length; optionally raises a stop flag at a given write.
class CountingSink final : public mplay::PcmSink {
  public:
    static constexpr uint32_t kCapacity = 0x50000 / 2;

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        writes.push_back(count);
        if (count > kCapacity) {
            overflowed = true;
        }
        if (stop != nullptr && static_cast<int>(writes.size()) == stopAtWrite) {
            stop->store(true);
        }
        count = 0;
        return m_buffer.data();
    }

    std::vector<uint32_t> writes; // values
    bool overflowed = false;
    std::atomic<bool>* stop = nullptr;
    int stopAtWrite = 0;

  private:
    std::vector<int16_t> m_buffer = std::vector<int16_t>(kCapacity + 10000);
};

struct Decoded {
    std::unique_ptr<mplay::MpegStream> stream = std::make_unique<mplay::MpegStream>();
    std::vector<uint8_t> mp3;
};

Decoded Open(const std::string& path) {
    Decoded d;
    d.mp3 = sonavix::test::ReadBytes(path);
    EXPECT_TRUE(d.stream->OpenMemory(d.mp3.data(), static_cast<uint32_t>(d.mp3.size())));
    return d;
}

TEST(StretchSink, BlocksStartShortGrowUpToTheCapacityAndEndWithOneClosingWrite) {
    const std::string path = sonavix::test::MakeToneRecording(5.0, 44100, 2);
    ASSERT_FALSE(path.empty()) << "sox or lame missing";
    Decoded d = Open(path);
    const size_t inFrames = sonavix::test::DecodeToPcm(d.mp3).size() / 2;
    CountingSink device;
    {
        StretchSink sink(device, 44100, 2, 0.5);
        EXPECT_TRUE(mplay::RunFrameLoop(*d.stream, sink));
    }
    ASSERT_GE(device.writes.size(), 4u);
    EXPECT_FALSE(device.overflowed);
    // Some 25 ms, then a quarter of a second, then twice as much each time.
    EXPECT_EQ(device.writes[0], 2u * (44100 / 40));
    EXPECT_EQ(device.writes[1], 2u * (44100 / 4));
    EXPECT_EQ(device.writes[2], 2 * device.writes[1]);
    EXPECT_EQ(device.writes.back(), 0u);
    size_t frames = 0;
    for (size_t i = 0; i + 1 < device.writes.size(); ++i) {
        EXPECT_GT(device.writes[i], 0u) << "write " << i;
        frames += device.writes[i] / 2;
    }
    EXPECT_EQ(frames, TimeStretch::OutputFrames(inFrames, 0.5));
    // Ten seconds of sound: the later blocks are whole device buffers.
    EXPECT_EQ(device.writes[device.writes.size() - 3], CountingSink::kCapacity);
}

TEST(StretchSink, OnceStoppedNothingMoreIsWrittenOnAndNoClosingWrite) {
    const std::string path = sonavix::test::MakeToneRecording(5.0, 44100, 2);
    ASSERT_FALSE(path.empty());
    Decoded d = Open(path);
    std::atomic<bool> stop{false};
    CountingSink device;
    device.stop = &stop;
    device.stopAtWrite = 3;
    StretchSink sink(device, 44100, 2, 0.5, &stop);
    EXPECT_FALSE(mplay::RunFrameLoop(*d.stream, sink, &stop));
    EXPECT_EQ(device.writes.size(), 3u);
    EXPECT_GT(device.writes.back(), 0u);
}

TEST(StretchSink, AStreamWithoutFramesGivesOnlyTheClosingWrite) {
    CountingSink device;
    StretchSink sink(device, 22050, 1, 0.75);
    uint32_t none = 0;
    sink.Write(none);
    EXPECT_EQ(device.writes, std::vector<uint32_t>{0});
}

} // namespace
