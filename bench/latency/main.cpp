// Click to sound: the time from a play request (what a click on a symbol does) to the first
// buffer queued, to its first sample handed to the device by the audio callback, and to that
// sample being heard as the sound library reports it. Each request cuts the previous pass short,
// as when a learner steps through the symbols. Runs on a private PulseAudio server.
//
//   sonavix-latency [-n REQUESTS] [--speed S] [RECORDING.mp3]
#include "output/AudioDevice.h"
#include "playback_media.h"
#include "pulse_server.h"

#include "mplay/PlaySpeed.h"
#include "mplay/PlayThread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int64_t Now() {
    return Clock::now().time_since_epoch().count();
}

std::atomic<int64_t> g_queuedAt{0};
std::atomic<int64_t> g_handedAt{0};
std::atomic<int64_t> g_heardAt{0};

void OnFirstSound(double secondsUntilHeard) {
    const int64_t now = Now();
    const auto until = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(secondsUntilHeard));
    g_handedAt.store(now);
    g_heardAt.store(now + until.count());
}

// The PortAudio device, noting when the first sound of each pass is queued.
class TimingOutput final : public mplay::AudioOutput {
  public:
    explicit TimingOutput(std::unique_ptr<mplay::AudioOutput> output)
        : m_output(std::move(output)) {}
    bool Queue(const uint8_t* data, uint32_t bytes) override {
        if (bytes > 0 && !m_seen) {
            m_seen = true;
            g_queuedAt.store(Now());
        }
        return m_output->Queue(data, bytes);
    }
    void Stop() override { m_output->Stop(); }

  private:
    std::unique_ptr<mplay::AudioOutput> m_output;
    bool m_seen = false;
};

class TimingDevice final : public mplay::AudioDevice {
  public:
    bool HasDevice(int device) override { return mplay::PortAudioDevice().HasDevice(device); }
    int DeviceCount() override { return mplay::PortAudioDevice().DeviceCount(); }
    std::unique_ptr<mplay::AudioOutput> Open(int device, const mplay::PcmFormat& format,
                                             DoneCallback onDone) override {
        auto output = mplay::PortAudioDevice().Open(device, format, onDone);
        return output ? std::make_unique<TimingOutput>(std::move(output)) : nullptr;
    }
};

struct Sample {
    double queued, handed, heard; // ms after the request
};

bool Request(const std::string& recording, double speed, Sample& sample) {
    g_queuedAt = g_handedAt = g_heardAt = 0;
    const int64_t start = Now();
    mplay::StartPlayWorker(recording, speed);
    const auto deadline = Clock::now() + 5s;
    while (g_heardAt.load() == 0 || g_queuedAt.load() == 0) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(200us);
    }
    const auto ms = [start](int64_t t) {
        return std::chrono::duration<double, std::milli>(Clock::duration(t - start)).count();
    };
    sample = {ms(g_queuedAt.load()), ms(g_handedAt.load()), ms(g_heardAt.load())};
    return true;
}

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const double median =
        ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    std::printf("  %-34s median %7.1f ms   worst %7.1f ms\n", what, median, ms.back());
}

} // namespace

int main(int argc, char** argv) {
    int requests = 50;
    double speed = 1.0;
    std::string recording;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
            requests = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--speed") == 0 && i + 1 < argc) {
            speed = mplay::PlaySpeed(std::atof(argv[++i]));
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: %s [-n REQUESTS] [--speed S] [RECORDING.mp3]\n", argv[0]);
            return 2;
        } else {
            recording = argv[i];
        }
    }
    if (recording.empty()) {
        recording = sonavix::test::MakeToneRecording(1.5, sonavix::test::PulseServer::kRate, 2);
        if (recording.empty()) {
            std::fprintf(stderr, "cannot make a recording: sox and lame are needed\n");
            return 1;
        }
    }
    sonavix::test::PulseServer server;
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "no private sound server: %s\n", error.c_str());
        return 1;
    }
    TimingDevice device;
    mplay::SetAudioDevice(&device);
    mplay::SetFirstSoundObserver(&OnFirstSound);

    // The first request also starts the sound library, which probes every device once.
    Sample first{};
    if (!Request(recording, speed, first)) {
        std::fprintf(stderr, "no sound within 5 s\n");
        return 1;
    }
    std::this_thread::sleep_for(200ms);
    std::vector<double> queued, handed, heard;
    for (int i = 0; i < requests; ++i) {
        Sample s{};
        if (!Request(recording, speed, s)) {
            std::fprintf(stderr, "request %d: no sound within 5 s\n", i + 1);
            return 1;
        }
        queued.push_back(s.queued);
        handed.push_back(s.handed);
        heard.push_back(s.heard);
        // Let it sound for a moment before the next click cuts it short.
        std::this_thread::sleep_for(150ms);
    }
    mplay::g_bRepeat = 0;
    while (mplay::RunningWorkerCount() != 0) {
        std::this_thread::sleep_for(10ms);
    }
    mplay::SetFirstSoundObserver(nullptr);
    mplay::SetAudioDevice(nullptr);

    std::printf("Click to sound at %gx speed, %d requests, each cutting the pass before it short; "
                "private PulseAudio server, null sink at %u Hz\n",
                speed, requests, sonavix::test::PulseServer::kRate);
    Report("request -> first buffer queued", queued);
    Report("request -> first sample to device", handed);
    Report("request -> first sample heard", heard);
    std::printf("  (heard: the output time PortAudio gives the callback; a fresh stream's device "
                "buffer is empty, so it adds nothing, and the server's own buffering is not in "
                "it)\n");
    std::printf("  first request of the process (starts the sound library): heard after %.1f ms\n",
                first.heard);
    std::string command;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            command += ' ';
        }
        command += argv[i];
    }
    std::printf("recording: %s\ncommand: %s\n", recording.c_str(), command.c_str());
    return 0;
}
