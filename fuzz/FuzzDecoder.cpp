// libFuzzer entry over the whole decode path: arbitrary bytes are opened as a recording, cut
// into frames and decoded into a sink that discards the PCM, exactly as a playback does.
#include "NullPcmSink.h"
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Recordings are read whole and sized in 32 bits; larger inputs cannot reach the stream.
    if (size > UINT32_MAX)
        return 0;
    mplay::MpegStream stream;
    if (!stream.OpenMemory(data, static_cast<uint32_t>(size)))
        return 0;
    sonavix_fuzz::NullPcmSink sink;
    mplay::RunFrameLoop(stream, sink);

    // The stream must also survive a second pass, as the repeat loop makes one.
    stream.Rewind();
    sonavix_fuzz::NullPcmSink again;
    mplay::RunFrameLoop(stream, again);
    if (again.total() != sink.total())
        __builtin_trap(); // the same bytes must decode to the same amount of sound
    stream.Close();
    return 0;
}
