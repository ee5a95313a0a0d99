// One playback of a recording held in memory: the shared stream reader feeds the frame loop,
// which decodes straight into the buffers the wave output lends, or, at another speed, into the
// time stretching in front of it.
#include "mplay/Player.h"

#include "StretchSink.h"

#include "mplay/FrameLoop.h"
#include "mplay/PlaySpeed.h"
#include "output/WaveOut.h"

#include <cstdio>

namespace mplay {

MpegStream g_mpegStream;

const char* const kDeviceFailureText = "no sound device could be opened for playback";

namespace {

constexpr int32_t kSingleChannelMode = 3;

std::atomic<MessageFunction> g_showMessage{nullptr};

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
    WaveOut waveOut;
    if (!waveOut.Open(g_mpegStream.GetSampleRate(), 16, kPcmBlockBytes)) {
        waveOut.Close();
        g_mpegStream.Close();
        ShowDeviceFailureMessage();
        return;
    }
    waveOut.SetStopRequest(stopRequest);
    speed = PlaySpeed(speed);
    if (speed == kNormalSpeed) {
        RunFrameLoop(g_mpegStream, waveOut, stopRequest);
    } else {
        const int channels = g_mpegStream.GetMode() == kSingleChannelMode ? 1 : 2;
        StretchSink stretch(waveOut, g_mpegStream.GetSampleRate(), channels, speed, stopRequest);
        RunFrameLoop(g_mpegStream, stretch, stopRequest);
    }
    // After a normal end the last Write has waited for the sound to finish; after a stop request
    // this cuts the sound off at once.
    waveOut.Close();
    // The stream must not keep pointing into bytes the caller is about to free.
    g_mpegStream.Close();
}

} // namespace mplay
