// MPEG audio stream reader over an in-memory recording.
//   in:  the stream bytes (not owned)
//   out: per frame, the header values and the body as big-endian words in m_frame; the words
//        after the body are zero, so a reader that runs past a short body sees zeros
#include "mplay/MpegStream.h"

#include <algorithm>

namespace mplay {
namespace {

constexpr uint32_t kSyncIdRateMask = 0xFFF80C00u; // syncword, ID, sampling_frequency
constexpr uint32_t kModeMask = 0x000000C0u;
constexpr uint32_t kModeSingle = 0x000000C0u;
constexpr int32_t kMaxBodyLength = MpegStream::kFrameWords * 4 - 1; // word L/4 stays inside

// Length of an ID3v2 tag at the start of data, 0 when there is none. A tag's payload (cover
// pictures above all) can hold sync-like bytes, so the search must begin after it.
uint32_t Id3v2TagLength(const uint8_t* data, uint32_t size) {
    constexpr uint32_t kHeader = 10;
    if (size < kHeader || data[0] != 'I' || data[1] != 'D' || data[2] != '3' || data[3] == 0xFF ||
        data[4] == 0xFF) {
        return 0;
    }
    uint32_t payload = 0;
    for (int i = 6; i < 10; ++i) {
        if (data[i] & 0x80) {
            return 0; // not syncsafe: not a tag
        }
        payload = (payload << 7) | data[i];
    }
    const bool footer = (data[5] & 0x10) != 0;
    const uint64_t total = uint64_t{kHeader} + payload + (footer ? kHeader : 0);
    return static_cast<uint32_t>(std::min<uint64_t>(total, size));
}

uint32_t ReadHeaderBytes(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

} // namespace

bool MpegStream::OpenMemory(const uint8_t* data, uint32_t size) {
    if (size == 0 || data == nullptr) {
        return false;
    }
    m_data = data;
    m_size = size;
    m_pos = 0;
    m_frameCount = 0;
    m_bodyLength = 0;
    int32_t mainDataLength, id, mode, modeExtension, samplingFrequency;
    NextFrame(mainDataLength, id, mode, modeExtension, samplingFrequency);
    return true;
}

bool MpegStream::FindHeader(uint32_t& header) {
    while (m_size - m_pos >= 4) {
        const uint32_t candidate = ReadHeaderBytes(m_data + m_pos);
        // The first frame needs only a syncword; every later one must match the first.
        const bool found = m_frameCount == 0
                               ? (candidate >> 20) == 0xFFF
                               : (candidate & kSyncIdRateMask) == m_syncPattern &&
                                     ((candidate & kModeMask) == kModeSingle) == m_firstMono;
        if (found) {
            header = candidate;
            return true;
        }
        ++m_pos;
    }
    m_pos = m_size;
    return false;
}

void MpegStream::CopyBody(const uint8_t* body, int32_t bodyLength) {
    const int32_t fullWords = bodyLength / 4;
    for (int32_t w = 0; w < fullWords; ++w) {
        m_frame[w] = ReadHeaderBytes(body + 4 * w);
    }
    uint32_t last = 0;
    for (int32_t i = 4 * fullWords; i < 4 * fullWords + 4; ++i) {
        last = (last << 8) | (i < bodyLength ? body[i] : 0u);
    }
    m_frame[fullWords] = last;
    std::fill(m_frame + fullWords + 1, m_frame + kFrameWords, 0u);
}

const uint32_t* MpegStream::NextFrame(int32_t& mainDataLength, int32_t& id, int32_t& mode,
                                      int32_t& modeExtension, int32_t& samplingFrequency) {
    if (m_pos == 0) {
        m_pos = Id3v2TagLength(m_data, m_size);
    }
    uint32_t header = 0;
    if (!FindHeader(header)) {
        return nullptr;
    }
    m_header.bits = header;
    m_pos += 4;

    // The first frame fixes the pattern every later frame must match.
    if (m_frameCount == 0) {
        if (m_header.sampling_frequency() == 3) {
            return nullptr;
        }
        m_syncPattern = header & kSyncIdRateMask;
        m_firstMono = m_header.mode() == 3;
    }

    // Coded layer to layer number: 3 -> 1, 2 -> 2, 1 -> 3, reserved 0 stays 0.
    m_header.SetLayer((4 - m_header.layer()) & 3);

    // A bitrate of 0 (free format, index 15, reserved layer) gives a negative body length and
    // ends the stream, as does a body longer than the word buffer or the bytes left.
    const int32_t bodyLength = m_header.BodyLength();
    m_mainDataLength = m_header.MainDataLength();
    if (bodyLength < 0 || bodyLength > kMaxBodyLength ||
        static_cast<uint32_t>(bodyLength) > m_size - m_pos) {
        return nullptr;
    }
    CopyBody(m_data + m_pos, bodyLength);
    m_pos += static_cast<uint32_t>(bodyLength);
    m_bodyLength = bodyLength;

    ++m_frameCount;
    mainDataLength = m_mainDataLength;
    id = static_cast<int32_t>(m_header.ID());
    mode = static_cast<int32_t>(m_header.mode());
    modeExtension = static_cast<int32_t>(m_header.mode_extension());
    samplingFrequency = static_cast<int32_t>(m_header.sampling_frequency());
    return m_frame;
}

void MpegStream::Rewind() {
    m_pos = 0;
}

void MpegStream::Close() {
    m_size = 0;
    m_pos = 0;
}

uint32_t MpegStream::GetSampleRate() const {
    return m_header.SampleRate();
}
bool MpegStream::HasPlayableFrame() const {
    // No real rate is below 16 kHz; the reserved code reads as 1.
    return GetSampleRate() >= 8000;
}
int32_t MpegStream::GetMode() const {
    return static_cast<int32_t>(m_header.mode());
}
int32_t MpegStream::GetModeExtension() const {
    return static_cast<int32_t>(m_header.mode_extension());
}
int32_t MpegStream::GetSamplingFrequency() const {
    return static_cast<int32_t>(m_header.sampling_frequency());
}
int32_t MpegStream::GetId() const {
    return static_cast<int32_t>(m_header.ID());
}
int32_t MpegStream::GetProtectionBit() const {
    return static_cast<int32_t>(m_header.protection_bit());
}
int32_t MpegStream::GetLayer() const {
    return static_cast<int32_t>(m_header.layer());
}
int32_t MpegStream::GetBodyLength() const {
    return m_bodyLength;
}

} // namespace mplay
