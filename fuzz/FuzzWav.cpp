// libFuzzer entry over the WAV reader, the way a stored attempt is loaded: arbitrary bytes are
// read, and what reads as a sound is analysed (at most a second of it, to keep runs fast) and
// written back.
#include "speech/Analysis.h"
#include "speech/WavFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sonavix::speech::WavReadResult r = sonavix::speech::ReadWav({data, size});
    if (!r.ok) {
        return 0;
    }
    auto& samples = r.sound.samples;
    const auto limit = static_cast<size_t>(r.sound.rate);
    if (samples.size() > limit) {
        samples.resize(limit);
    }
    (void)sonavix::speech::Analyse(r.sound);
    (void)sonavix::speech::EncodeWav16(r.sound);
    return 0;
}
