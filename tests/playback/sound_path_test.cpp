// The whole sound path: PortAudio, ALSA's default device and its pulse plugin, a private
// PulseAudio server in real time. The recorded monitor must hold the decoded PCM (or the samples
// played) exactly, to the last sample, and a pass must last as long as its sound.
#include "StretchSink.h"
#include "playback_media.h"
#include "pulse_server.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PlayThread.h"
#include "mplay/Player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sonavix::test::FindPcm;
using sonavix::test::PulseServer;

std::atomic<int> g_deviceFailures{0};
void CountDeviceFailure(const char*) {
    ++g_deviceFailures;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}
double Seconds(size_t values) {
    return values / (2.0 * PulseServer::kRate);
}

class SoundPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_server.Start(error)) << error;
        m_tone = sonavix::test::MakeToneRecording(1.5, PulseServer::kRate, 2);
        ASSERT_FALSE(m_tone.empty()) << "sox or lame missing";
        mplay::SetDeviceFailureMessage(&CountDeviceFailure);
    }
    void TearDown() override {
        mplay::SetDeviceFailureMessage(nullptr);
        EXPECT_EQ(g_deviceFailures, 0) << "the device did not open on the private server";
    }

    PulseServer m_server;
    std::string m_tone;
};

TEST_F(SoundPathTest, APassPlaysTheDecodedPcmExactlyAndEndsWithItsSound) {
    const auto mp3 = sonavix::test::ReadBytes(m_tone);
    const auto pcm = sonavix::test::DecodeToPcm(mp3);
    ASSERT_FALSE(pcm.empty());
    std::string error;
    ASSERT_TRUE(m_server.StartRecording(error)) << error;
    const auto start = Clock::now();
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    const double pass = Seconds(Clock::now() - start);
    std::this_thread::sleep_for(300ms);
    const auto captured = m_server.StopRecording();

    const long at = FindPcm(captured, pcm);
    ASSERT_GE(at, 0) << "the recording was not heard whole and unchanged (" << captured.size()
                     << " values captured, " << pcm.size() << " decoded)";
    EXPECT_GE(pass, Seconds(pcm.size()));
    EXPECT_LT(pass, Seconds(pcm.size()) + 1.0);
    // PlayMemory returned as the sound ended: the recorder ran on for 300 ms after the return
    // and caught that much silence after the last sample, less its own lag of a few tens of ms.
    const double after = Seconds(captured.size() - (at + pcm.size()));
    std::printf("pass %.3f s for %.3f s of sound; %.3f s recorded after the last sample\n", pass,
                Seconds(pcm.size()), after);
    EXPECT_GT(after, 0.2) << "returned before the sound had ended";
    EXPECT_LT(after, 0.5) << "returned well after the sound had ended";
    for (size_t i = at + pcm.size(); i < captured.size(); ++i) {
        ASSERT_EQ(captured[i], 0) << "sound after the end, at value " << i;
    }
}

// What the stretching stage gives the device for mp3 at speed, in one piece.
std::vector<int16_t> StretchedPcm(const std::vector<uint8_t>& mp3, double speed) {
    class Collect final : public mplay::PcmSink {
      public:
        int16_t* GetBuffer(uint32_t& capacity) override {
            capacity = 0x50000 / 2;
            return buffer.data();
        }
        int16_t* Write(uint32_t& count) override {
            pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + count);
            count = 0;
            return buffer.data();
        }
        std::vector<int16_t> buffer = std::vector<int16_t>(0x50000 / 2 + 10000);
        std::vector<int16_t> pcm;
    } sink;
    auto stream = std::make_unique<mplay::MpegStream>();
    if (stream->OpenMemory(mp3.data(), static_cast<uint32_t>(mp3.size()))) {
        mplay::StretchSink stretch(sink, stream->GetSampleRate(), 2, speed);
        mplay::RunFrameLoop(*stream, stretch);
    }
    return sink.pcm;
}

TEST_F(SoundPathTest, AHalfSpeedPassIsHeardExactlyAsStretchedAndEndsWithItsSound) {
    const auto mp3 = sonavix::test::ReadBytes(m_tone);
    const auto pcm = StretchedPcm(mp3, 0.5);
    ASSERT_EQ(pcm.size(), 2 * sonavix::test::DecodeToPcm(mp3).size());
    std::string error;
    ASSERT_TRUE(m_server.StartRecording(error)) << error;
    const auto start = Clock::now();
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()), nullptr, 0.5);
    const double pass = Seconds(Clock::now() - start);
    std::this_thread::sleep_for(300ms);
    const auto captured = m_server.StopRecording();

    const long at = FindPcm(captured, pcm);
    ASSERT_GE(at, 0) << "the stretched recording was not heard whole and unchanged";
    EXPECT_GE(pass, Seconds(pcm.size()));
    EXPECT_LT(pass, Seconds(pcm.size()) + 1.0);
    EXPECT_GT(Seconds(captured.size() - (at + pcm.size())), 0.2) << "returned before the end";
}

TEST_F(SoundPathTest, ANewerRequestCutsTheOldPassAndIsHeardWhole) {
    const std::string longer = sonavix::test::MakeToneRecording(5.0, PulseServer::kRate, 2);
    ASSERT_FALSE(longer.empty());
    const auto pcm = sonavix::test::DecodeToPcm(sonavix::test::ReadBytes(m_tone));
    std::string error;
    ASSERT_TRUE(m_server.StartRecording(error)) << error;
    mplay::StartPlayWorker(longer);
    std::this_thread::sleep_for(700ms);
    const auto request = Clock::now();
    mplay::StartPlayWorker(m_tone);
    while (mplay::RunningWorkerCount() != 0 && Clock::now() - request < 10s) {
        std::this_thread::sleep_for(5ms);
    }
    const double heard = Seconds(Clock::now() - request);
    std::this_thread::sleep_for(300ms);
    const auto captured = m_server.StopRecording();

    EXPECT_GE(FindPcm(captured, pcm), 0) << "the newer recording was not heard whole";
    // It began at once instead of after the five seconds of the older one.
    EXPECT_LT(heard, Seconds(pcm.size()) + 1.0);
}

TEST_F(SoundPathTest, SamplesAreHeardExactlyOnBothChannels) {
    std::vector<int16_t> mono(PulseServer::kRate);
    std::vector<int16_t> pairs;
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = static_cast<int16_t>(9000 * std::sin(0.07 * static_cast<double>(i)));
        pairs.insert(pairs.end(), {mono[i], mono[i]});
    }
    std::string error;
    ASSERT_TRUE(m_server.StartRecording(error)) << error;
    mplay::StartSamplesWorker(mono, PulseServer::kRate);
    const auto start = Clock::now();
    while (mplay::RunningWorkerCount() != 0 && Clock::now() - start < 5s) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_GE(FindPcm(m_server.StopRecording(), pairs), 0)
        << "the samples were not heard whole and unchanged";
}

TEST_F(SoundPathTest, AServerThatGoesAwayEndsThePassAtOnce) {
    const std::string longer = sonavix::test::MakeToneRecording(5.0, PulseServer::kRate, 2);
    ASSERT_FALSE(longer.empty());
    const auto mp3 = sonavix::test::ReadBytes(longer);
    std::thread pass([&] { mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size())); });
    std::this_thread::sleep_for(700ms);
    const auto gone = Clock::now();
    m_server.Stop();
    pass.join();
    // Rather than one 10 s wait per remaining buffer.
    EXPECT_LT(Seconds(Clock::now() - gone), 2.0);
}

bool HasSoundCard() {
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    std::getline(cards, first);
    return cards && first.find("no soundcards") == std::string::npos;
}

TEST(SoundPathWithoutServer, NoDeviceGivesTheMessageOnceAndNoLibraryNoise) {
    if (HasSoundCard()) {
        GTEST_SKIP() << "a sound card would be found past the missing server";
    }
    const std::string tone = sonavix::test::MakeToneRecording(1.5, PulseServer::kRate, 2);
    ASSERT_FALSE(tone.empty());
    const std::string command = "PULSE_SERVER=unix:/nonexistent/socket '" SONAVIX_BIN_DIR
                                "/sonavix-play' '" +
                                tone + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    EXPECT_EQ(output, "sonavix-play: cannot open the sound device\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}

} // namespace
