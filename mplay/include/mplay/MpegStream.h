#pragma once
#include "mplay/FrameHeader.h"

#include <cstdint>

namespace mplay {

// Cuts an MPEG audio stream held in memory into frames. The body of the current frame is copied
// into a fixed word buffer, each word holding four body bytes with the earliest most significant.
class MpegStream {
  public:
    static constexpr int kFrameWords = 512;

    bool OpenMemory(const uint8_t* data, uint32_t size);
    // Returns the body words of the next frame, or nullptr at the end of the stream (outputs
    // untouched).
    const uint32_t* NextFrame(int32_t& mainDataLength, int32_t& id, int32_t& mode,
                              int32_t& modeExtension, int32_t& samplingFrequency);
    void Rewind();
    void Close();

    uint32_t GetSampleRate() const;
    // False when the first header carries a reserved rate code (GetSampleRate is then a
    // stand-in): such a stream delivers no frame, so there is nothing to play or decode.
    bool HasPlayableFrame() const;
    int32_t GetMode() const;
    int32_t GetModeExtension() const;
    int32_t GetSamplingFrequency() const;
    int32_t GetId() const;
    int32_t GetProtectionBit() const;
    int32_t GetLayer() const; // layer number of the last header taken (0 = reserved)
    int32_t GetBodyLength() const;
    const FrameHeader& GetHeader() const { return m_header; }

  private:
    // Moves to the next frame header from the current position; false at the end of the data.
    bool FindHeader(uint32_t& header);
    // The body into m_frame as big-endian words, zeros after it.
    void CopyBody(const uint8_t* body, int32_t bodyLength);

    const uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_pos = 0;
    uint32_t m_frame[kFrameWords] = {};
    FrameHeader m_header;
    uint32_t m_syncPattern = 0;
    bool m_firstMono = false;
    uint32_t m_frameCount = 0;
    int32_t m_bodyLength = 0;
    int32_t m_mainDataLength = 0;
};

} // namespace mplay
