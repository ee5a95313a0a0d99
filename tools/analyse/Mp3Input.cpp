#include "Mp3Input.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PcmSink.h"

#include <limits>

namespace {

constexpr uint32_t kCapacity = 16384;    // values per hand-over
constexpr uint32_t kSpareValues = 10000; // a frame beyond the capacity always fits

// Collects the interleaved 16-bit output of the frame loop.
class CollectSink : public mplay::PcmSink {
  public:
    CollectSink() : m_buffer(kCapacity + kSpareValues) {}
    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(m_buffer.size()));
        values.insert(values.end(), m_buffer.begin(), m_buffer.begin() + n);
        count = 0;
        return m_buffer.data();
    }
    std::vector<int16_t> values;

  private:
    std::vector<int16_t> m_buffer;
};

} // namespace

bool DecodeMp3(const std::vector<uint8_t>& bytes, sonavix::speech::Sound& sound) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    mplay::MpegStream stream;
    if (!stream.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()))) {
        return false;
    }
    const uint32_t rate = stream.GetSampleRate();
    if (rate < 8000) {
        stream.Close();
        return false;
    }
    CollectSink sink;
    mplay::RunFrameLoop(stream, sink);
    stream.Close();
    // The frame loop always delivers two channels (a mono stream on both).
    sound.rate = rate;
    sound.samples.resize(sink.values.size() / 2);
    for (size_t i = 0; i < sound.samples.size(); ++i) {
        const int sum = sink.values[2 * i] + sink.values[2 * i + 1];
        sound.samples[i] = static_cast<float>(sum) / 65536.0f;
    }
    // Bytes that merely look like a frame header decode to nothing: no audio is not a recording.
    return !sound.samples.empty();
}
