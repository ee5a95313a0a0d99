// The whole capture path: a lesson recording played into the null sink of a private PulseAudio
// server, recorded from its monitor through PortAudio and ALSA's pulse plugin by the recorder.
// After alignment the capture must be the recording, with nothing dropped or repeated.
#include "output/Resampler.h"
#include "playback_media.h"
#include "pulse_server.h"

#include "mplay/Player.h"
#include "mplay/Recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;
using mplay::Recorder;
using sonavix::test::Correlation;
using sonavix::test::PulseServer;

constexpr uint32_t kRate = Recorder::kSampleRate;

// The lesson recording as the recorder should hear it: mono at 16 kHz.
std::vector<int16_t> Reference(const std::vector<uint8_t>& mp3) {
    const auto stereo = sonavix::test::DecodeToPcm(mp3);
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) / 2);
    }
    std::vector<int16_t> out;
    mplay::Resampler resampler(PulseServer::kRate, kRate, mono.size());
    resampler.Process(mono, true, out);
    return out;
}

// Where the loudest stretch of needle best matches haystack, as the offset of needle's start.
long Align(std::span<const int16_t> haystack, std::span<const int16_t> needle) {
    constexpr size_t kProbe = 2000;
    size_t loudest = 0;
    double best = -1;
    for (size_t at = 0; at + kProbe <= needle.size(); at += kProbe / 4) {
        double energy = 0;
        for (size_t i = 0; i < kProbe; ++i) {
            energy += double(needle[at + i]) * needle[at + i];
        }
        if (energy > best) {
            best = energy;
            loudest = at;
        }
    }
    const auto probe = needle.subspan(loudest, std::min(kProbe, needle.size() - loudest));
    long bestLag = -1;
    best = -2;
    for (size_t at = 0; at + probe.size() <= haystack.size(); ++at) {
        const double c = Correlation(haystack.subspan(at, probe.size()), probe);
        if (c > best) {
            best = c;
            bestLag = static_cast<long>(at) - static_cast<long>(loudest);
        }
    }
    return bestLag;
}

class CapturePathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        if (!m_server.Start(error)) {
            GTEST_SKIP() << "no private sound server: " << error;
        }
    }
    PulseServer m_server;
};

TEST_F(CapturePathTest, RecordsWhatIsPlayedSampleForSample) {
    const auto mp3 = sonavix::test::ReadBytes(SONAVIX_SOURCE_DIR "/assets/pho/0-0.mp3");
    ASSERT_FALSE(mp3.empty());
    const auto reference = Reference(mp3);
    Recorder recorder;
    mplay::Recording result;
    std::atomic<bool> done{false};
    const double seconds = static_cast<double>(reference.size()) / kRate + 1.5;
    recorder.Start({.useEndpointer = false,
                    .trim = false,
                    .maxLength = std::chrono::milliseconds(static_cast<long>(seconds * 1000))},
                   [&](mplay::Recording r) {
                       result = std::move(r);
                       done = true;
                   });
    std::this_thread::sleep_for(300ms);
    // The pipeline directly: a playback request would take the turn from the recording.
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    while (!done) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(result.error, mplay::RecordError::None);
    EXPECT_EQ(result.reason, mplay::StopReason::Cap);
    EXPECT_EQ(result.droppedSamples, 0u);
    const long lag = Align(result.samples, reference);
    ASSERT_GE(lag, 0);
    ASSERT_LE(lag + reference.size(), result.samples.size()) << "the end was not captured";
    const std::span<const int16_t> captured(result.samples.data() + lag, reference.size());
    const double whole = Correlation(captured, reference);
    // A dropped or repeated sample would shift the rest: every half second must still match.
    double worst = 1;
    for (size_t at = 0; at + kRate / 2 <= reference.size(); at += kRate / 2) {
        const auto a = captured.subspan(at, kRate / 2);
        const auto b = std::span<const int16_t>(reference).subspan(at, kRate / 2);
        double energy = 0;
        for (const int16_t v : b) {
            energy += double(v) * v;
        }
        if (energy / static_cast<double>(b.size()) > 300.0 * 300.0) {
            worst = std::min(worst, Correlation(a, b));
        }
    }
    std::printf("device %u Hz, first sample %.1f ms after the request, correlation %.5f "
                "(worst half second %.5f), lag %ld samples\n",
                result.deviceRate, result.firstSampleMs, whole, worst, lag);
    EXPECT_GE(whole, 0.999);
    EXPECT_GE(worst, 0.99);
}

TEST_F(CapturePathTest, AServerThatGoesAwayEndsTheRecordingWithWhatCameBefore) {
    Recorder recorder;
    mplay::Recording result;
    std::atomic<bool> done{false};
    recorder.Start({.useEndpointer = false}, [&](mplay::Recording r) {
        result = std::move(r);
        done = true;
    });
    std::this_thread::sleep_for(1500ms);
    m_server.Stop();
    const auto gone = std::chrono::steady_clock::now();
    while (!done && std::chrono::steady_clock::now() - gone < 5s) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(done) << "the recording did not notice";
    EXPECT_EQ(result.error, mplay::RecordError::DeviceLost);
    EXPECT_GT(result.samples.size(), kRate / 4);
    EXPECT_LT(std::chrono::steady_clock::now() - gone, 2s);
}

TEST(CapturePathWithoutServer, NoServerAndNoCardIsNoDevice) {
    FILE* cards = std::fopen("/proc/asound/cards", "r");
    char first[128] = "";
    if (cards != nullptr) {
        if (std::fgets(first, sizeof first, cards) == nullptr) {
            first[0] = 0;
        }
        std::fclose(cards);
    }
    if (cards != nullptr && std::string(first).find("no soundcards") == std::string::npos) {
        GTEST_SKIP() << "a sound card would be found past the missing server";
    }
    setenv("PULSE_SERVER", "unix:/nonexistent/socket", 1);
    Recorder recorder;
    const auto r = recorder.Record({});
    EXPECT_EQ(r.error, mplay::RecordError::NoDevice);
    EXPECT_TRUE(r.samples.empty());
}

} // namespace
