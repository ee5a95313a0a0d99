#pragma once
// The frame loop's sink at speeds other than 1.0: lends the decoder a small buffer, stretches
// what it gets and writes the result on into the next sink's buffers. The first block is short,
// so that the first sound comes after a few milliseconds of work; later ones hold at least a
// quarter of a second and double up to the next sink's capacity, so that the device is never
// left without sound.
#include "TimeStretch.h"

#include "mplay/PcmSink.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace mplay {

class StretchSink final : public PcmSink {
  public:
    // Values the decoder may write before handing a buffer over; one frame more fits.
    static constexpr uint32_t kInputCapacity = 2048;
    static constexpr uint32_t kFrameValues = 2304;

    // next must stay open while this sink is in use. Once *stop is raised nothing more is
    // written on.
    StretchSink(PcmSink& next, uint32_t sampleRate, int channels, double speed,
                const std::atomic<bool>* stop = nullptr,
                TimeStretch::Engine engine = TimeStretch::kSpeechEngine);

    int16_t* GetBuffer(uint32_t& capacity) override;
    // A count of 0 is the frame loop's closing write: the rest of the sound is written on,
    // then next's own closing write waits for its end.
    int16_t* Write(uint32_t& count) override;

  private:
    void Forward(bool end);
    void HandOver();
    bool Stopped() const;

    PcmSink& m_next;
    TimeStretch m_stretch;
    const std::atomic<bool>* m_stop;
    std::vector<int16_t> m_input;
    int16_t* m_out = nullptr;
    uint32_t m_outFrames = 0;   // frames a buffer of next takes
    uint32_t m_laterFrames;     // the least a block after the first holds
    uint32_t m_blockFrames = 0; // frames of the block being filled when it is handed over
    uint32_t m_filled = 0;      // frames in it so far
};

} // namespace mplay
