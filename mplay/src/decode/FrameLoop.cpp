// The frame loop of one playback: every Layer III frame of the open stream is decoded straight
// into the buffer the sink lends, which is handed over once it holds more than its capacity.
// The sink's buffers must take one frame (2304 values) beyond their capacity.
#include "mplay/FrameLoop.h"

#include "decode/LayerIIIDecoder.h"

#include <memory>

namespace mplay {

bool RunFrameLoop(MpegStream& stream, PcmSink& sink, const std::atomic<bool>* stopRequest,
                  PcmCallback callback) {
    const int32_t id = stream.GetId();
    const int32_t mode = stream.GetMode();
    const int32_t modeExtension = stream.GetModeExtension();
    const int32_t samplingFrequency = stream.GetSamplingFrequency();

    // Some 45 KB of state: kept off the worker's stack.
    auto decoder = std::make_unique<LayerIIIDecoder>();
    stream.Rewind();
    if (!decoder->Init(id, mode, modeExtension, samplingFrequency,
                       callback ? callback : SampleToPcm)) {
        return true;
    }

    uint32_t capacity = 0;
    uint32_t filled = 0;
    int16_t* pcm = sink.GetBuffer(capacity);

    int32_t mainDataLength = 0;
    int32_t frameId = 0;
    int32_t frameMode = 0;
    int32_t frameModeExtension = 0;
    int32_t frameSamplingFrequency = 0;
    while (const uint32_t* body = stream.NextFrame(mainDataLength, frameId, frameMode,
                                                   frameModeExtension, frameSamplingFrequency)) {
        if (stopRequest && stopRequest->load(std::memory_order_relaxed)) {
            return false;
        }
        // Layer I and II frames pass the reader too; their bodies would decode to noise.
        if (stream.GetLayer() != 3) {
            continue;
        }
        decoder->DecodeFrame(body, mainDataLength, pcm, filled, frameId, frameMode,
                             frameModeExtension, stream.GetProtectionBit());
        if (filled > capacity) {
            pcm = sink.Write(filled);
        }
    }
    if (stopRequest && stopRequest->load(std::memory_order_relaxed)) {
        return false;
    }
    if (filled > 0) {
        pcm = sink.Write(filled);
    }
    // An empty write waits until the last real buffer has been played.
    sink.Write(filled);
    return true;
}

} // namespace mplay
