#include "mplay/DecodeMono.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PcmSink.h"

#include <algorithm>
#include <limits>

namespace mplay {
namespace {

constexpr uint32_t kCapacity = 16384;   // values per hand-over
constexpr uint32_t kSpareValues = 2304; // the frame that crosses the capacity

// Averages the frame loop's interleaved pairs (a single-channel stream comes on both) as they
// are handed over, so that the stereo output is never held whole.
class MonoSink final : public PcmSink {
  public:
    explicit MonoSink(std::vector<int16_t>& mono) : m_mono(mono) {}
    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        const uint32_t pairs = std::min<uint32_t>(count, kCapacity + kSpareValues) / 2;
        for (uint32_t i = 0; i < pairs; ++i) {
            m_mono.push_back(static_cast<int16_t>((m_buffer[2 * i] + m_buffer[2 * i + 1]) / 2));
        }
        count = 0;
        return m_buffer.data();
    }

  private:
    std::vector<int16_t>& m_mono;
    std::vector<int16_t> m_buffer = std::vector<int16_t>(kCapacity + kSpareValues);
};

} // namespace

bool DecodeMono(std::span<const uint8_t> bytes, std::vector<int16_t>& mono, uint32_t& rate) {
    mono.clear();
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    MpegStream stream;
    if (!stream.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        return false;
    }
    const uint32_t streamRate = stream.GetSampleRate();
    if (!stream.HasPlayableFrame() || streamRate < 8000) {
        stream.Close();
        return false;
    }
    MonoSink sink(mono);
    RunFrameLoop(stream, sink);
    stream.Close();
    // Bytes that merely look like a frame header decode to nothing: no audio is not a recording.
    if (mono.empty()) {
        return false;
    }
    rate = streamRate;
    return true;
}

} // namespace mplay
