// One playback of a recording held in memory: the shared stream reader feeds the frame loop,
// which decodes straight into the buffers the wave output lends, or, at another speed, into the
// time stretching in front of it. Samples already decoded (a learner's own recording) take the
// same way in without the frame loop.
#include "mplay/Player.h"

#include "StretchSink.h"

#include "mplay/FrameLoop.h"
#include "mplay/PlaySpeed.h"
#include "output/WaveOut.h"

#include <algorithm>
#include <cstdio>

namespace mplay {

MpegStream g_mpegStream;

const char* const kDeviceFailureText = "no sound device could be opened for playback";

namespace {

constexpr int32_t kSingleChannelMode = 3;
constexpr uint32_t kLowestSampleRate = 8000;
constexpr uint32_t kHighestSampleRate = 48000;

std::atomic<MessageFunction> g_showMessage{nullptr};

// Opens the device at rate and hands feed the sink to play into: the device itself at normal
// speed, the time stretching in front of it otherwise (channels 1 when both carry the same).
// False when no device opened; the caller reports that once it has let go of its input.
template <class Feed>
bool PlayThroughDevice(uint32_t rate, int channels, const std::atomic<bool>* stopRequest,
                       double speed, Feed&& feed) {
    WaveOut waveOut;
    if (!waveOut.Open(rate, 16, kPcmBlockBytes)) {
        waveOut.Close();
        return false;
    }
    waveOut.SetStopRequest(stopRequest);
    speed = PlaySpeed(speed);
    if (speed == kNormalSpeed) {
        feed(static_cast<PcmSink&>(waveOut));
    } else {
        StretchSink stretch(waveOut, rate, channels, speed, stopRequest);
        feed(static_cast<PcmSink&>(stretch));
    }
    // After a normal end the last Write has waited for the sound to finish; after a stop request
    // this cuts the sound off at once.
    waveOut.Close();
    return true;
}

bool Stopped(const std::atomic<bool>* stopRequest) {
    return stopRequest != nullptr && stopRequest->load(std::memory_order_relaxed);
}

// Mono into the sink's stereo buffers, a whole buffer at a time, then the closing empty write
// that waits for the end of the sound, as the frame loop does. A stop request leaves the sink
// undrained, so that its owner stops it at once.
void FeedSamples(const int16_t* mono, size_t count, PcmSink& sink,
                 const std::atomic<bool>* stopRequest) {
    uint32_t capacity = 0;
    int16_t* out = sink.GetBuffer(capacity);
    const size_t blockFrames = capacity / 2;
    for (size_t done = 0; done < count;) {
        if (out == nullptr || blockFrames == 0 || Stopped(stopRequest)) {
            return;
        }
        const size_t frames = std::min(blockFrames, count - done);
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i] = mono[done + i];
            out[2 * i + 1] = mono[done + i];
        }
        done += frames;
        auto values = static_cast<uint32_t>(2 * frames);
        out = sink.Write(values);
    }
    if (Stopped(stopRequest)) {
        return;
    }
    uint32_t none = 0;
    sink.Write(none);
}

} // namespace

void SetDeviceFailureMessage(MessageFunction show) {
    g_showMessage.store(show);
}

void ShowDeviceFailureMessage() {
    if (MessageFunction show = g_showMessage.load()) {
        show(kDeviceFailureText);
        return;
    }
    std::fprintf(stderr, "%s\n", kDeviceFailureText);
}

void WakePlayback() {
    WaveOut::WakeWaiter();
}

void PlayMemory(const uint8_t* data, uint32_t size, const std::atomic<bool>* stopRequest,
                double speed) {
    if (data == nullptr || !g_mpegStream.OpenMemory(data, size)) {
        return;
    }
    // A stream that can deliver no frame has nothing to play; asking a device for its bogus
    // rate would only end in the message that the device is busy.
    if (!g_mpegStream.HasPlayableFrame()) {
        g_mpegStream.Close();
        return;
    }
    const uint32_t rate = g_mpegStream.GetSampleRate();
    const int channels = g_mpegStream.GetMode() == kSingleChannelMode ? 1 : 2;
    const bool opened = PlayThroughDevice(rate, channels, stopRequest, speed, [&](PcmSink& sink) {
        RunFrameLoop(g_mpegStream, sink, stopRequest);
    });
    // The stream must not keep pointing into bytes the caller is about to free.
    g_mpegStream.Close();
    if (!opened) {
        ShowDeviceFailureMessage();
    }
}

void PlaySamples(const int16_t* mono, size_t count, uint32_t rate,
                 const std::atomic<bool>* stopRequest, double speed) {
    if (mono == nullptr || count == 0 || rate < kLowestSampleRate || rate > kHighestSampleRate) {
        return;
    }
    if (!PlayThroughDevice(rate, 1, stopRequest, speed,
                           [&](PcmSink& sink) { FeedSamples(mono, count, sink, stopRequest); })) {
        ShowDeviceFailureMessage();
    }
}

} // namespace mplay
