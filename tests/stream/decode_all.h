#pragma once
// Runs a whole recording through the stream reader and the decoder, as the playback pipeline
// does, into a scratch buffer.
#include "decode/LayerIIIDecoder.h"
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"

#include <cstdint>
#include <vector>

namespace sonavix::test {

struct DecodeStats {
    int framesTaken = 0;         // NextFrame results
    int layer3Frames = 0;        // of which Layer III
    int framesDecoded = 0;       // DecodeFrame returned 1
    bool oversizedFrame = false; // a frame wrote more than 2304 values
};

inline DecodeStats DecodeAll(const std::vector<uint8_t>& data) {
    DecodeStats stats;
    mplay::MpegStream stream;
    if (!stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size()))) {
        return stats;
    }
    mplay::LayerIIIDecoder decoder;
    if (!decoder.Init(stream.GetId(), stream.GetMode(), stream.GetModeExtension(),
                      stream.GetSamplingFrequency(), mplay::SampleToPcm)) {
        return stats;
    }
    stream.Rewind();
    std::vector<int16_t> pcm(2304 * 4);
    int32_t mainData, id, mode, modeExt, sf;
    while (const uint32_t* body = stream.NextFrame(mainData, id, mode, modeExt, sf)) {
        ++stats.framesTaken;
        if (stream.GetLayer() != 3) {
            continue;
        }
        ++stats.layer3Frames;
        uint32_t filled = 0;
        stats.framesDecoded += decoder.DecodeFrame(body, mainData, pcm.data(), filled, id, mode,
                                                   modeExt, stream.GetProtectionBit());
        stats.oversizedFrame |= filled > 2304;
    }
    return stats;
}

} // namespace sonavix::test
