// PlayMemory and PlaySamples against the scripted device: the device gets exactly the decoded
// PCM (the samples on both channels), in order, and the playback ends when the sound has; the
// failure message appears once per failed pass.
#include "playback_media.h"
#include "scripted_device.h"

#include "TimeStretch.h"

#include "mplay/Player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>

namespace {

using mplay::AudioDevice;
using sonavix::test::ScriptedDevice;

std::atomic<int> g_messages{0};
std::string g_lastMessage;

void CountMessage(const char* text) {
    ++g_messages;
    g_lastMessage = text;
}

class PlayMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_messages = 0;
        mplay::SetDeviceFailureMessage(&CountMessage);
    }
    void TearDown() override { mplay::SetDeviceFailureMessage(nullptr); }

    static std::vector<uint8_t> Recording(double seconds, uint32_t rate = 44100) {
        const std::string path = sonavix::test::MakeToneRecording(seconds, rate, 2);
        return path.empty() ? std::vector<uint8_t>{} : sonavix::test::ReadBytes(path);
    }

    static void ExpectPlayedExactly(const ScriptedDevice& device, const std::vector<uint8_t>& mp3) {
        const std::vector<int16_t> pcm = sonavix::test::DecodeToPcm(mp3);
        ASSERT_FALSE(pcm.empty());
        const std::vector<uint8_t> played = device.PlayedBytes();
        ASSERT_EQ(played.size(), pcm.size() * 2);
        EXPECT_EQ(std::memcmp(played.data(), pcm.data(), played.size()), 0);
        // Ended when the last real buffer had played: only the empty closing one was dropped.
        ASSERT_GE(device.queued.size(), 2u);
        EXPECT_EQ(device.queued.back().bytes, 0u);
        for (size_t i = 0; i + 1 < device.queued.size(); ++i) {
            EXPECT_FALSE(device.queued[i].dropped) << "buffer " << i << " cut off";
        }
        EXPECT_DOUBLE_EQ(device.stoppedAtMs, 1000.0 * pcm.size() / (2.0 * 44100));
    }
};

TEST_F(PlayMemoryTest, AShortRecordingIsPlayedWholeAsOneBuffer) {
    const auto mp3 = Recording(1.5);
    ASSERT_FALSE(mp3.empty()) << "sox or lame missing";
    ScriptedDevice device;
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    EXPECT_EQ(device.format.sampleRate, 44100u);
    EXPECT_EQ(device.queued.size(), 2u);
    ExpectPlayedExactly(device, mp3);
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayMemoryTest, ALongRecordingIsPacedByTheDeviceAndPlayedInOrder) {
    const auto mp3 = Recording(5.0);
    ASSERT_FALSE(mp3.empty());
    ScriptedDevice device;
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    EXPECT_EQ(device.queued.size(), 4u); // three blocks and the closing empty one
    ExpectPlayedExactly(device, mp3);
}

TEST_F(PlayMemoryTest, EmptyDataOpensNoDeviceAndSaysNothing) {
    ScriptedDevice device;
    const uint8_t byte = 0;
    mplay::PlayMemory(&byte, 0);
    mplay::PlayMemory(nullptr, 100);
    EXPECT_TRUE(device.openAttempts.empty());
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayMemoryTest, DataWithoutFramesPlaysNothingAndSaysNothing) {
    ScriptedDevice device;
    const std::vector<uint8_t> junk(3000, 0x55);
    mplay::PlayMemory(junk.data(), static_cast<uint32_t>(junk.size()));
    EXPECT_TRUE(device.queued.empty());
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayMemoryTest, AReservedSampleRateIsSilentRatherThanADeviceFailure) {
    ScriptedDevice device;
    // MPEG-1 Layer III header with the reserved rate code, then padding.
    std::vector<uint8_t> data = {0xFF, 0xFB, 0x9C, 0x00};
    data.resize(1000, 0);
    mplay::PlayMemory(data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_TRUE(device.openAttempts.empty());
    EXPECT_EQ(g_messages, 0);
}

TEST_F(PlayMemoryTest, NoDeviceShowsTheMessageOncePerPass) {
    const auto mp3 = Recording(1.5);
    ASSERT_FALSE(mp3.empty());
    ScriptedDevice device;
    device.missing = {AudioDevice::kDefaultDevice};
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    EXPECT_EQ(g_messages, 1);
    EXPECT_EQ(g_lastMessage, mplay::kDeviceFailureText);
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    EXPECT_EQ(g_messages, 2);
}

TEST_F(PlayMemoryTest, WithoutARegisteredFunctionTheMessageGoesToStderr) {
    const auto mp3 = Recording(1.5);
    ASSERT_FALSE(mp3.empty());
    mplay::SetDeviceFailureMessage(nullptr);
    ScriptedDevice device;
    device.missing = {AudioDevice::kDefaultDevice};
    ::testing::internal::CaptureStderr();
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, std::string(mplay::kDeviceFailureText) + "\n");
}

TEST_F(PlayMemoryTest, ARaisedStopRequestEndsThePassWithoutSound) {
    const auto mp3 = Recording(5.0);
    ASSERT_FALSE(mp3.empty());
    ScriptedDevice device;
    const std::atomic<bool> stop{true};
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()), &stop);
    EXPECT_EQ(device.stops, 1);
    EXPECT_TRUE(device.queued.empty());
    EXPECT_EQ(device.nowMs, 0);
}

TEST_F(PlayMemoryTest, AtNormalSpeedTheDecodedSamplesReachTheDeviceBitForBit) {
    const auto mp3 = Recording(5.0);
    ASSERT_FALSE(mp3.empty());
    // A speed that is no number plays as recorded too.
    for (double speed : {1.0, std::nan("")}) {
        ScriptedDevice device;
        mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()), nullptr, speed);
        EXPECT_EQ(device.queued.size(), 4u);
        ExpectPlayedExactly(device, mp3);
    }
}

TEST_F(PlayMemoryTest, SlowerPassesLastTheirStretchedLengthAndEndWhenTheSoundHas) {
    const auto mp3 = Recording(1.5);
    ASSERT_FALSE(mp3.empty());
    const size_t frames = sonavix::test::DecodeToPcm(mp3).size() / 2;
    for (double speed : {0.5, 0.75}) {
        ScriptedDevice device;
        mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()), nullptr, speed);
        const uint64_t stretched = mplay::TimeStretch::OutputFrames(frames, speed);
        EXPECT_EQ(device.PlayedBytes().size(), 4 * stretched) << speed;
        // The first sound is a short block, so that it starts within milliseconds.
        ASSERT_GE(device.queued.size(), 3u);
        EXPECT_EQ(device.queued[0].bytes, 4u * (44100 / 40));
        EXPECT_EQ(device.queued.back().bytes, 0u);
        for (size_t i = 0; i + 1 < device.queued.size(); ++i) {
            EXPECT_FALSE(device.queued[i].dropped) << "buffer " << i << " cut off at " << speed;
        }
        EXPECT_DOUBLE_EQ(device.stoppedAtMs, 1000.0 * static_cast<double>(stretched) / 44100);
    }
}

TEST_F(PlayMemoryTest, SamplesPlayOnBothChannelsExactlyAndEndWithTheirSound) {
    std::vector<int16_t> mono(11 * 16000); // more than the two buffers the device holds at once
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = static_cast<int16_t>(i * 7);
    }
    ScriptedDevice device;
    mplay::PlaySamples(mono.data(), mono.size(), 7999);
    mplay::PlaySamples(mono.data(), mono.size(), 48001);
    mplay::PlaySamples(mono.data(), 0, 16000);
    EXPECT_TRUE(device.openAttempts.empty());
    mplay::PlaySamples(mono.data(), mono.size(), 16000);
    EXPECT_EQ(device.format.sampleRate, 16000u);
    const std::vector<uint8_t> bytes = device.PlayedBytes();
    ASSERT_EQ(bytes.size(), 4 * mono.size());
    std::vector<int16_t> played(2 * mono.size());
    std::memcpy(played.data(), bytes.data(), bytes.size());
    for (size_t i = 0; i < mono.size(); ++i) {
        ASSERT_TRUE(played[2 * i] == mono[i] && played[2 * i + 1] == mono[i]) << "frame " << i;
    }
    EXPECT_EQ(device.queued.back().bytes, 0u);
    EXPECT_DOUBLE_EQ(device.stoppedAtMs, 11000.0);
    EXPECT_EQ(g_messages, 0);
}

} // namespace
