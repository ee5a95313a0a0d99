#pragma once
// Reaches the decoder's stage functions and buffers so that a test can feed one stage a
// hand-made granule without building a stream.
#include "mplay/LayerIIIDecoder.h"
#include "mplay/SynthesisFilter.h"

#include <algorithm>
#include <memory>

namespace mplay {

struct LayerIIIDecoderAccess {
    static int32_t Silent(double*, double*, int32_t) { return 0; }

    // id 1 = MPEG-1; samplingFrequency is the header field (44.1 kHz is 0 for MPEG-1, 22.05 kHz
    // is 0 for MPEG-2).
    explicit LayerIIIDecoderAccess(int32_t id = 1, int32_t mode = 0, int32_t modeExtension = 0,
                                   int32_t samplingFrequency = 0)
        : d(std::make_unique<LayerIIIDecoder>()) {
        d->Init(id, mode, modeExtension, samplingFrequency, Silent);
        for (auto& side : d->m_sideInfo) {
            side = ChannelSideInfo{};
        }
        for (auto& sf : d->m_scalefac) {
            sf = ScaleFactors{};
        }
        std::fill(std::begin(d->m_quantised), std::end(d->m_quantised), 0);
        for (int ch = 0; ch < 2; ++ch) {
            std::fill(std::begin(d->m_dequantised[ch]), std::end(d->m_dequantised[ch]), 0.0);
            std::fill(std::begin(d->m_stereoWork[ch]), std::end(d->m_stereoWork[ch]), 0.0);
        }
    }

    GranuleInfo& granule(int ch, int gr = 0) { return d->m_sideInfo[ch].granule[gr]; }
    ScaleFactors& scalefac(int ch) { return d->m_scalefac[ch]; }
    int32_t* quantised() { return d->m_quantised; }
    int32_t& nonzeroCount(int ch) { return d->m_nonzeroCount[ch]; }
    double* dequantised(int ch) { return d->m_dequantised[ch]; }
    double* stereoOut(int ch) { return d->m_stereoOut[ch]; }
    double* stereoWork(int ch) { return d->m_stereoWork[ch]; }
    double* hybridWork() { return d->m_hybridWork; }
    double* overlap(int ch) { return d->m_overlap[ch]; }
    int32_t sampleRateIndex() const { return d->m_sampleRateIndex; }

    void Requantise(int ch, int gr = 0) { d->Requantise(ch, gr); }
    int32_t StereoProcess(int gr = 0) { return d->StereoProcess(gr); }
    void Reorder(int ch, int gr = 0) { d->Reorder(ch, gr); }
    void AntiAlias(int ch, int gr = 0) { d->AntiAlias(ch, gr); }
    void Hybrid(int ch, int gr = 0) { d->Hybrid(ch, gr); }

    std::unique_ptr<LayerIIIDecoder> d;
};

struct SynthesisFilterAccess {
    static const double* v1(const SynthesisFilter& f) { return f.m_v1; }
    static const double* v2(const SynthesisFilter& f) { return f.m_v2; }
    static const double* samples(const SynthesisFilter& f) { return f.m_samples; }
    static int32_t writePos(const SynthesisFilter& f) { return f.m_writePos; }
};

} // namespace mplay
