#pragma once
// Wave output: 16-bit stereo PCM through three rotating buffers. The caller fills one while the
// device plays another; Write blocks until the device has finished an older buffer.
#include "mplay/PcmSink.h"

#include <cstdint>

namespace mplay {

class WaveOut final : public PcmSink {
public:
    WaveOut();
    ~WaveOut() override;
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    bool Open(uint32_t sampleRate, uint32_t bitsPerSample, uint32_t blockSize);
    int16_t* GetBuffer(uint32_t& capacity) override;
    int16_t* Write(uint32_t& count) override;
    void Close();

    // Implementation details (buffers, device seam) are the wave-output source's to define.
};

} // namespace mplay
