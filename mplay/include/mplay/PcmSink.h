#pragma once
#include <cstdint>

namespace mplay {

// The buffers every sink lends: the frame loop hands one over once it holds more than
// kPcmBlockBytes, so each takes the rest of the frame that crossed that mark (at most 2304
// values) in kPcmSpareBytes beyond it.
constexpr uint32_t kPcmBlockBytes = 0x50000;
constexpr uint32_t kPcmSpareBytes = 20000;
constexpr uint32_t kPcmBlockValues = kPcmBlockBytes / 2;
constexpr uint32_t kPcmBufferValues = (kPcmBlockBytes + kPcmSpareBytes) / 2;

// Where the frame loop puts decoded 16-bit PCM: the wave device, or a file for the tools.
// The sink lends a buffer; the decoder writes into it; Write hands it over and lends the next.
class PcmSink {
  public:
    virtual ~PcmSink() = default;
    // Buffer to fill; capacity = values to write before handing it over.
    virtual int16_t* GetBuffer(uint32_t& capacity) = 0;
    // Hands over count values (count becomes 0) and returns the next buffer to fill; may block.
    virtual int16_t* Write(uint32_t& count) = 0;
};

} // namespace mplay
