#pragma once
#include "mplay/MpegStream.h"
#include "mplay/PcmCallback.h"
#include "mplay/PcmSink.h"

#include <atomic>
#include <cstdint>

namespace mplay {

// Decodes every Layer III frame of the open stream into sink, then drains it with the closing
// pair of writes. Returns false when stopRequest was raised (checked between frames); the sink
// is then left undrained so that its owner can stop it at once. callback replaces SampleToPcm as
// the decoder's converter (the tools record the unconverted samples through it).
bool RunFrameLoop(MpegStream& stream, PcmSink& sink, const std::atomic<bool>* stopRequest = nullptr,
                  PcmCallback callback = nullptr);

} // namespace mplay
