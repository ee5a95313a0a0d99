// The recorder on the real sound path of a private PulseAudio server: request to the first
// captured sample (cold, then warm) and to the first input callback, the time each callback
// takes, the CPU the process spends while recording, and a long
// capture of what the player plays into the null sink, checked for dropped or repeated samples
// by its correlation with the decoded recording, half a second at a time, at one fixed lag.
//
//   sonavix-capture-bench [-s SECONDS]
#include "output/CaptureDevice.h"
#include "output/Resampler.h"
#include "playback_media.h"
#include "pulse_server.h"

#include "mplay/Player.h"
#include "mplay/Recorder.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using mplay::Recorder;
using sonavix::test::Correlation;
constexpr uint32_t kRate = Recorder::kSampleRate;

std::atomic<int64_t> g_firstCallback{0};
std::atomic<uint64_t> g_callbacks{0};
std::atomic<uint64_t> g_callbackNs{0};
std::atomic<uint64_t> g_worstCallbackNs{0};
std::atomic<unsigned long> g_frames{0};

void OnCallback(unsigned long frames, double seconds) {
    int64_t none = 0;
    g_firstCallback.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
    const auto ns = static_cast<uint64_t>(seconds * 1e9);
    ++g_callbacks;
    g_callbackNs += ns;
    g_frames.store(frames);
    uint64_t worst = g_worstCallbackNs.load();
    while (ns > worst && !g_worstCallbackNs.compare_exchange_weak(worst, ns)) {
    }
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

mplay::Recording RecordFor(std::chrono::milliseconds length) {
    Recorder recorder;
    return recorder.Record({.useEndpointer = false, .trim = false, .maxLength = length});
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-s") == 0) {
            seconds = std::max(2.0, std::atof(argv[++i]));
        }
    }
    sonavix::test::PulseServer server;
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "no sound server: %s\n", error.c_str());
        return 1;
    }

    const auto cold = RecordFor(300ms);
    mplay::SetCaptureCallbackObserver(&OnCallback);
    std::vector<double> warm;
    std::vector<double> callback;
    for (int i = 0; i < 10; ++i) {
        g_firstCallback = 0;
        const auto requested = Clock::now();
        warm.push_back(RecordFor(200ms).firstSampleMs);
        callback.push_back(
            std::chrono::duration<double, std::milli>(Clock::duration(g_firstCallback.load()) -
                                                      requested.time_since_epoch())
                .count());
    }
    std::sort(warm.begin(), warm.end());
    std::sort(callback.begin(), callback.end());
    std::printf("request to first sample: cold %.1f ms (sound library started), warm median %.1f "
                "ms, worst %.1f ms of %zu; to the first input callback: median %.1f ms; device "
                "at %u Hz\n",
                cold.firstSampleMs, warm[warm.size() / 2], warm.back(), warm.size(),
                callback[callback.size() / 2], cold.deviceRate);
    g_callbacks = 0;
    g_callbackNs = 0;
    g_worstCallbackNs = 0;

    const auto cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    const auto idle = RecordFor(5s);
    const double cpu = (CpuSeconds() - cpuBefore) /
                       std::chrono::duration<double>(Clock::now() - wallBefore).count();
    std::printf("CPU while recording 5 s: %.2f %% of one core (%zu samples); input callback "
                "%.2f us on average, worst %.2f us, over %llu callbacks of %lu frames\n",
                100 * cpu, idle.samples.size(),
                g_callbacks ? g_callbackNs.load() / 1e3 / static_cast<double>(g_callbacks) : 0.0,
                g_worstCallbackNs.load() / 1e3, static_cast<unsigned long long>(g_callbacks.load()),
                g_frames.load());

    const std::string tone = sonavix::test::MakeToneRecording(seconds, 44100, 2);
    if (tone.empty()) {
        std::fprintf(stderr, "sox or lame missing\n");
        return 1;
    }
    const auto mp3 = sonavix::test::ReadBytes(tone);
    const auto stereo = sonavix::test::DecodeToPcm(mp3);
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = static_cast<int16_t>((stereo[2 * i] + stereo[2 * i + 1]) / 2);
    }
    std::vector<int16_t> reference;
    mplay::Resampler resampler(44100, kRate, mono.size());
    resampler.Process(mono, true, reference);

    Recorder recorder;
    mplay::Recording captured;
    std::atomic<bool> done{false};
    recorder.Start(
        {.useEndpointer = false,
         .trim = false,
         .maxLength = std::chrono::milliseconds(static_cast<long>(seconds * 1000 + 1500))},
        [&](mplay::Recording r) {
            captured = std::move(r);
            done = true;
        });
    std::this_thread::sleep_for(300ms);
    mplay::PlayMemory(mp3.data(), static_cast<uint32_t>(mp3.size()));
    while (!done) {
        std::this_thread::sleep_for(10ms);
    }
    // The lag at which the first half second matches best (the tones repeat, so any lag of a
    // whole period would do as well); every later half second must match at the same lag.
    const size_t window = kRate / 2;
    long best = -1;
    double bestCorrelation = -2;
    for (size_t lag = 0; lag + reference.size() <= captured.samples.size() && lag < 2 * kRate;
         ++lag) {
        const double c = Correlation(std::span(captured.samples).subspan(lag + window, window),
                                     std::span(reference).subspan(window, window));
        if (c > bestCorrelation) {
            bestCorrelation = c;
            best = static_cast<long>(lag);
        }
    }
    if (best < 0) {
        std::printf("the capture is shorter than the recording: %zu samples for %zu\n",
                    captured.samples.size(), reference.size());
        return 1;
    }
    const std::span<const int16_t> aligned(captured.samples.data() + best, reference.size());
    double worst = 1;
    for (size_t at = window; at + 2 * window <= reference.size(); at += window) {
        worst = std::min(worst, Correlation(aligned.subspan(at, window),
                                            std::span(reference).subspan(at, window)));
    }
    std::printf("%.0f s played and recorded: correlation %.5f overall, worst half second %.5f, "
                "%llu samples dropped by the recorder\n",
                seconds, Correlation(aligned, reference), worst,
                static_cast<unsigned long long>(captured.droppedSamples));
    return 0;
}
