// One playback of a recording held in memory: the shared stream reader feeds the frame loop,
// which decodes straight into the buffers the wave output lends, or, at another speed, into the
// time stretching in front of it.
#include "mplay/Player.h"

#include "StretchSink.h"

#include "mplay/FrameLoop.h"
#include "mplay/PlaySpeed.h"
#include "mplay/WaveOut.h"

#include <cstdio>

namespace mplay {

MpegStream g_mpegStream;

const char* const kDeviceFailureText =
    "不能打开播放设备，无法进行播放!\r\n"
    "如果有其它播放软件正在播放声音，请首先关闭，或者重新启动软件，然后重试!";

namespace {

constexpr uint32_t kBlockSize = 0x50000;
// The stream reports this rate for a first header with a reserved rate code; such a stream
// delivers no frame.
constexpr uint32_t kLowestStreamRate = 8000;
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

void PlayMemory(const uint8_t* data, uint32_t size, const std::atomic<bool>* stopRequest,
                double speed) {
    if (data == nullptr || !g_mpegStream.OpenMemory(data, size)) {
        return;
    }
    // A stream that can deliver no frame has nothing to play; asking a device for its bogus
    // rate would only end in the message that the device is busy.
    if (g_mpegStream.GetSampleRate() < kLowestStreamRate) {
        g_mpegStream.Close();
        return;
    }
    WaveOut waveOut;
    if (!waveOut.Open(g_mpegStream.GetSampleRate(), 16, kBlockSize)) {
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
