#pragma once
// Reaches the decoder's stages and state so that a test can feed one stage hand-made bits or a
// hand-made granule without building a stream.
#include "decode/LayerIIIDecoder.h"
#include "decode/SynthesisFilter.h"
#include "mplay/MpegStream.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace mplay {

struct LayerIIIDecoderAccess {
    static int32_t Silent(double*, double*, int32_t) { return 0; }

    // Over a decoder the test owns and has initialised itself.
    explicit LayerIIIDecoderAccess(LayerIIIDecoder& decoder) : d(decoder) {}

    // Over a decoder of its own, initialised from header fields (id 1 = MPEG-1; samplingFrequency
    // is the header field, so 0 is 44.1 kHz for MPEG-1 and 22.05 kHz for MPEG-2), with the side
    // information, scale factors and spectra cleared.
    explicit LayerIIIDecoderAccess(int32_t id = 1, int32_t mode = 0, int32_t modeExtension = 0,
                                   int32_t samplingFrequency = 0)
        : owned_(std::make_unique<LayerIIIDecoder>()), d(*owned_) {
        d.Init(id, mode, modeExtension, samplingFrequency, Silent);
        for (auto& side : d.m_sideInfo) {
            side = ChannelSideInfo{};
        }
        for (auto& sf : d.m_scalefac) {
            sf = ScaleFactors{};
        }
        std::fill(std::begin(d.m_quantised), std::end(d.m_quantised), 0);
        for (int ch = 0; ch < 2; ++ch) {
            std::fill(std::begin(d.m_dequantised[ch]), std::end(d.m_dequantised[ch]), 0.0);
            std::fill(std::begin(d.m_stereoWork[ch]), std::end(d.m_stereoWork[ch]), 0.0);
        }
    }

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
    void PutFrameBytes(int32_t count) { d.PutFrameBytes(count); }

    // Stages.
    int ReadSideInfo() { return d.ReadSideInfo(); }
    void ReadScaleFactors(int ch, int gr) { d.ReadScaleFactors(ch, gr); }
    void ReadLsfScaleFactors(int ch, int gr) { d.ReadLsfScaleFactors(ch, gr); }
    void DecodeHuffman(int ch, int gr) { d.DecodeHuffman(ch, gr); }
    void DecodePair(const HuffTable& t, int32_t& x, int32_t& y, int32_t& v, int32_t& w) {
        d.DecodePair(t, x, y, v, w);
    }
    void Requantise(int ch, int gr = 0) { d.Requantise(ch, gr); }
    int32_t StereoProcess(int gr = 0) { return d.StereoProcess(gr); }
    void Reorder(int ch, int gr = 0) { d.Reorder(ch, gr); }
    void AntiAlias(int ch, int gr = 0) { d.AntiAlias(ch, gr); }
    void Hybrid(int ch, int gr = 0) { d.Hybrid(ch, gr); }

    // State the stages read and write.
    GranuleInfo& granule(int ch, int gr = 0) { return d.m_sideInfo[ch].granule[gr]; }
    ChannelSideInfo& sideInfo(int ch) { return d.m_sideInfo[ch]; }
    ScaleFactors& scalefac(int ch) { return d.m_scalefac[ch]; }
    int32_t* quantised() { return d.m_quantised; }
    int32_t& nonzeroCount(int ch) { return d.m_nonzeroCount[ch]; }
    double* dequantised(int ch) { return d.m_dequantised[ch]; }
    double* stereoOut(int ch) { return d.m_stereoOut[ch]; }
    double* stereoWork(int ch) { return d.m_stereoWork[ch]; }
    double* hybridWork() { return d.m_hybridWork; }
    double* overlap(int ch) { return d.m_overlap[ch]; }
    int32_t* lsfBuffer() { return d.m_lsfScalefacBuffer; }
    int32_t& part2Start() { return d.m_part2Start; }
    int32_t mainDataBegin() const { return d.m_mainDataBegin; }
    int32_t privateBits() const { return d.m_privateBits; }
    int32_t& modeExtension() { return d.m_modeExtension; }
    int32_t& sampleRateIndex() { return d.m_sampleRateIndex; }

  private:
    std::unique_ptr<LayerIIIDecoder> owned_;

  public:
    LayerIIIDecoder& d;
};

struct SynthesisFilterAccess {
    static const double* v1(const SynthesisFilter& f) { return f.m_v1; }
    static const double* v2(const SynthesisFilter& f) { return f.m_v2; }
    static const double* samples(const SynthesisFilter& f) { return f.m_samples; }
    static int32_t writePos(const SynthesisFilter& f) { return f.m_writePos; }
};

} // namespace mplay
