#pragma once
// Reaches the decoder's stages and state so that tests can feed hand-made bits to one stage.
#include "mplay/LayerIIIDecoder.h"
#include "mplay/MpegStream.h"

#include <vector>

namespace mplay {

struct LayerIIIDecoderAccess {
    LayerIIIDecoder& d;

    // Reservoir.
    void PutByte(uint32_t v) { d.PutByte(v); }
    void PutBytes(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes) {
            d.PutByte(b);
        }
    }
    uint32_t GetBits(int n) { return d.GetBits(n); }
    uint32_t Get1Bit() { return d.Get1Bit(); }
    int32_t BitsRead() const { return d.BitsRead(); }
    void RewindBits(int n) { d.RewindBits(n); }
    void RewindBytes(int n) { d.RewindBytes(n); }
    int32_t& resByte() { return d.m_resByte; }
    int32_t& resBitsLeft() { return d.m_resBitsLeft; }
    int32_t& resWrite() { return d.m_resWrite; }
    int32_t& frameStart() { return d.m_frameStart; }

    // Frame reader over a word buffer of MpegStream::kFrameWords words.
    void PointFrameReader(const uint32_t* words) {
        d.m_frameWord = words;
        d.m_frameEnd = words + MpegStream::kFrameWords;
        d.m_frameBit = 0;
    }
    uint32_t GetFrameBits(int n) { return d.GetFrameBits(n); }

    // Stages.
    int ReadSideInfo() { return d.ReadSideInfo(); }
    void ReadScaleFactors(int ch, int gr) { d.ReadScaleFactors(ch, gr); }
    void ReadLsfScaleFactors(int ch, int gr) { d.ReadLsfScaleFactors(ch, gr); }
    void DecodeHuffman(int ch, int gr) { d.DecodeHuffman(ch, gr); }
    void DecodePair(const HuffTable& t, int32_t& x, int32_t& y, int32_t& v, int32_t& w) {
        d.DecodePair(t, x, y, v, w);
    }

    // State the stages read and write.
    GranuleInfo& granule(int ch, int gr) { return d.m_sideInfo[ch].granule[gr]; }
    ChannelSideInfo& sideInfo(int ch) { return d.m_sideInfo[ch]; }
    ScaleFactors& scalefac(int ch) { return d.m_scalefac[ch]; }
    int32_t* quantised() { return d.m_quantised; }
    double* dequantised(int ch) { return d.m_dequantised[ch]; }
    int32_t nonzeroCount(int ch) const { return d.m_nonzeroCount[ch]; }
    int32_t* lsfBuffer() { return d.m_lsfScalefacBuffer; }
    int32_t& part2Start() { return d.m_part2Start; }
    int32_t mainDataBegin() const { return d.m_mainDataBegin; }
    int32_t privateBits() const { return d.m_privateBits; }
    int32_t& modeExtension() { return d.m_modeExtension; }
    int32_t& sampleRateIndex() { return d.m_sampleRateIndex; }
};

} // namespace mplay
