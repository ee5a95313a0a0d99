// The recorder. In: mono samples the device's callback left in the capture ring, at the device's
// rate. Out: the recording at 16 kHz, with a level for the meter on the way. Its thread drains
// the ring every few milliseconds, resamples, feeds the endpointer and watches for the cap, a
// stop, a newer sound request and a device that has gone.
#include "mplay/Recorder.h"

#include "SoundTurn.h"
#include "mplay/Endpointer.h"
#include "output/CaptureDevice.h"
#include "output/Resampler.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <system_error>

namespace mplay {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kPollInterval = 10ms;
// A device that delivers nothing for this long has gone, whatever it says.
constexpr auto kStallLimit = 1s;
constexpr size_t kLevelWindow = Recorder::kSampleRate / 20;
constexpr size_t kJudgedPortion = Recorder::kSampleRate / 100;

std::atomic<CaptureDevice*> g_testDevice{nullptr};

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Summarise(Recording& result) {
    for (const int16_t s : result.samples) {
        const int16_t magnitude = s == INT16_MIN ? INT16_MAX : static_cast<int16_t>(std::abs(s));
        result.peak = std::max(result.peak, magnitude);
        result.clippedSamples += magnitude >= INT16_MAX;
    }
}

} // namespace

CaptureDevice& CurrentCaptureDevice() {
    CaptureDevice* device = g_testDevice.load(std::memory_order_acquire);
    return device != nullptr ? *device : PortAudioCapture();
}

void SetCaptureDevice(CaptureDevice* device) {
    g_testDevice.store(device, std::memory_order_release);
}

Recorder::Recorder() = default;

Recorder::~Recorder() {
    Stop();
    Join();
}

void Recorder::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void Recorder::Start(RecordOptions options, DoneCallback onDone) {
    const auto requested = Clock::now();
    // Taken before the wait for an older recording of ours, so that the order of requests is
    // the order of the calls, as for playback.
    const uint64_t request = TakeSoundRequest();
    Join();
    m_stop.store(false);
    m_active.store(true);
    auto shared = std::make_shared<DoneCallback>(std::move(onDone));
    try {
        m_thread = std::thread([this, options = std::move(options), shared, request, requested] {
            Recording result = Run(options, request, requested);
            if (*shared) {
                (*shared)(std::move(result));
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: the recording fails like a device that does not open.
        m_active.store(false);
        if (*shared) {
            Recording failed;
            failed.error = RecordError::OpenFailed;
            (*shared)(std::move(failed));
        }
    }
}

Recording Recorder::Record(RecordOptions options) {
    const auto requested = Clock::now();
    const uint64_t request = TakeSoundRequest();
    Join();
    m_stop.store(false);
    m_active.store(true);
    return Run(options, request, requested);
}

void Recorder::Stop() {
    m_stop.store(true);
}

void Recorder::ShowLevel(std::span<const int16_t> samples) {
    const auto window = samples.last(std::min(samples.size(), kLevelWindow));
    double power = 0;
    int peak = 0;
    for (const int16_t s : window) {
        power += static_cast<double>(s) * s;
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    const double rms = window.empty() ? 0 : std::sqrt(power / static_cast<double>(window.size()));
    m_peak.store(static_cast<float>(peak / 32768.0), std::memory_order_relaxed);
    m_rms.store(static_cast<float>(rms / 32768.0), std::memory_order_relaxed);
}

Level Recorder::CurrentLevel() const {
    return {m_peak.load(std::memory_order_relaxed), m_rms.load(std::memory_order_relaxed)};
}

Recording Recorder::Run(const RecordOptions& options, uint64_t request,
                        Clock::time_point requested) {
    Recording result;
    struct Idle {
        Recorder* self;
        ~Idle() {
            self->m_peak.store(0);
            self->m_rms.store(0);
            self->m_active.store(false);
        }
    } idle{this};

    std::unique_lock turn(SoundTurnMutex());
    if (!BeginSoundTurn(request)) {
        return result;
    }
    if (m_stop.load()) {
        result.reason = StopReason::Stopped;
        return result;
    }
    CaptureRing ring;
    CaptureOpening opening = CurrentCaptureDevice().Open(kSampleRate, ring);
    if (!opening.stream) {
        result.error = opening.error == RecordError::None ? RecordError::OpenFailed : opening.error;
        return result;
    }
    CaptureStream& stream = *opening.stream;
    result.deviceRate = stream.SampleRate();
    std::optional<Resampler> resampler;
    if (result.deviceRate != kSampleRate) {
        resampler.emplace(result.deviceRate, kSampleRate, ring.Capacity());
        if (!resampler->Ready()) {
            result.error = RecordError::OpenFailed;
            return result;
        }
    }
    Endpointer endpointer = options.endpointer;
    if (!endpointer && options.useEndpointer) {
        endpointer = EnergyEndpointer(kSampleRate);
    }
    const auto cap =
        static_cast<size_t>(std::max<int64_t>(0, options.maxLength.count()) * kSampleRate / 1000);
    std::vector<int16_t>& samples = result.samples;
    // Room for the usual recording at once; a caller asking for hours gets it as it comes.
    samples.reserve(std::min<size_t>(cap, 60 * kSampleRate) + kSampleRate / 10);
    std::vector<int16_t> raw(ring.Capacity());
    auto lastData = Clock::now();

    // Takes what the ring holds; false once the recording has reached an end of its own. The
    // last portion, after the device has stopped, is kept without judging it.
    auto drain = [&](bool last) {
        const size_t n = ring.Read(raw.data(), raw.size());
        const size_t before = samples.size();
        if (n > 0) {
            lastData = Clock::now();
            if (result.firstSampleMs < 0) {
                result.firstSampleMs = Milliseconds(lastData - requested);
            }
        }
        if (resampler) {
            resampler->Process({raw.data(), n}, last, samples);
        } else {
            samples.insert(samples.end(), raw.begin(), raw.begin() + static_cast<long>(n));
        }
        const bool capped = samples.size() >= cap;
        samples.resize(std::min(samples.size(), cap));
        if (samples.size() == before) {
            return !capped && !last;
        }
        // The endpointer sees 10 ms at a time, so that it ends the recording where it decides to
        // however much the device delivered at once.
        bool going = true;
        for (size_t at = before; going && !last && endpointer && at < samples.size();) {
            const size_t n = std::min(kJudgedPortion, samples.size() - at);
            going = endpointer(std::span<const int16_t>(samples.data() + at, n));
            at += n;
            if (!going) {
                samples.resize(at);
                result.reason = StopReason::Endpointer;
            }
        }
        ShowLevel(samples);
        if (going && capped && !last) {
            result.reason = StopReason::Cap;
        }
        return going && !capped && !last;
    };

    for (;;) {
        if (!drain(false)) {
            break;
        }
        if (SoundTurnStopFlag().load()) {
            result.reason = StopReason::Superseded;
            break;
        }
        if (m_stop.load()) {
            result.reason = StopReason::Stopped;
            break;
        }
        if (stream.Failed() || Clock::now() - lastData > kStallLimit) {
            result.reason = StopReason::DeviceLost;
            result.error = RecordError::DeviceLost;
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    stream.Stop();
    // What arrived up to the stop belongs to the recording, unless it ended by itself.
    if (result.reason != StopReason::Endpointer && result.reason != StopReason::Cap) {
        drain(true);
    }
    result.droppedSamples = ring.Dropped();
    opening.stream.reset();
    turn.unlock();

    const TrimRange trim = FindTrim(samples, kSampleRate);
    result.heardSpeech = trim.speech;
    if (options.trim && trim.speech) {
        samples.erase(samples.begin() + static_cast<long>(trim.end), samples.end());
        samples.erase(samples.begin(), samples.begin() + static_cast<long>(trim.begin));
    }
    Summarise(result);
    return result;
}

} // namespace mplay
