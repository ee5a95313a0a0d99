// One playback of a recording held in memory: the shared stream reader feeds the frame loop,
// which decodes straight into the buffers the wave output lends.
#include "mplay/Player.h"

#include "mplay/FrameLoop.h"
#include "output/WaveOut.h"

#include <cstdio>

namespace mplay {

MpegStream g_mpegStream;

const char* const kDeviceFailureText = "no sound device could be opened for playback";

namespace {

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

void PlayMemory(const uint8_t* data, uint32_t size, const std::atomic<bool>* stopRequest) {
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
    RunFrameLoop(g_mpegStream, waveOut, stopRequest);
    // After a normal end the last Write has waited for the sound to finish; after a stop request
    // this cuts the sound off at once.
    waveOut.Close();
    // The stream must not keep pointing into bytes the caller is about to free.
    g_mpegStream.Close();
}

} // namespace mplay
