#pragma once
#include "decode/Layout.h"
#include "decode/SynthesisFilter.h"
#include "mplay/PcmCallback.h"

#include <cstdint>
#include <memory>

namespace mplay {

struct HuffTable;
struct SfBandIndex;

struct GranuleInfo {
    int32_t part2_3_length;
    int32_t big_values;
    int32_t global_gain;
    int32_t scalefac_compress;
    int32_t window_switching_flag;
    int32_t block_type;
    int32_t mixed_block_flag;
    int32_t table_select[3];
    int32_t subblock_gain[3];
    int32_t region0_count;
    int32_t region1_count;
    int32_t preflag;
    int32_t scalefac_scale;
    int32_t count1table_select;
};

// Three short windows: only a window-switching granule has a block type, and type 2 is short.
inline bool IsShortBlock(const GranuleInfo& gi) {
    return gi.window_switching_flag && gi.block_type == 2;
}

struct ChannelSideInfo {
    int32_t scfsi[4];
    GranuleInfo granule[2];
};

struct ScaleFactors {
    int32_t l[23];    // long-block bands 0..22
    int32_t s[3][13]; // window 0..2, short-block band 0..12
};

// All decoding state of one MPEG-1 / MPEG-2 LSF Layer III stream. DecodeFrame runs the stages in
// their fixed order; each stage lives in a source file of its own.
class LayerIIIDecoder {
  public:
    static constexpr int kReservoirSize = 4096;
    // The first slots again after the last, so that eight bytes can be read from any slot at once.
    static constexpr int kReservoirTail = 8;

    LayerIIIDecoder();
    ~LayerIIIDecoder();
    LayerIIIDecoder(const LayerIIIDecoder&) = delete;
    LayerIIIDecoder& operator=(const LayerIIIDecoder&) = delete;

    int Init(int32_t id, int32_t mode, int32_t modeExtension, int32_t samplingFrequency,
             PcmCallback callback);
    // Appends the frame's samples at pcm[filled...] as left/right pairs and raises filled; returns
    // 0 when the frame could not be decoded (nothing written). body is a frame word buffer of
    // MpegStream::kFrameWords words. A single-channel stream fills both slots of each pair.
    int DecodeFrame(const uint32_t* body, int32_t mainDataLength, int16_t* pcm, uint32_t& filled,
                    int32_t id, int32_t mode, int32_t modeExtension, int32_t protectionBit);

  private:
    friend struct LayerIIIDecoderAccess; // tests feed stages hand-made granules through this

    // Frame reader over the current body.
    uint32_t GetFrameBits(int n);

    // Bit reservoir.
    void PutByte(uint32_t value);
    // The next count bytes of the body, as count calls of PutByte(GetFrameBits(8)) would.
    void PutFrameBytes(int32_t count);
    uint32_t GetBits(int n);
    // One bit at a time: defined below, inline.
    uint32_t Get1Bit();
    int32_t BitsRead() const { return m_resBitsRead; }
    void RewindBits(int n);
    void RewindBytes(int n);

    // The side information and this frame's main data into the reservoir, positioned at the
    // frame's first granule; false when its main data is not all there.
    bool ReadMainData(const uint32_t* body, int32_t mainDataLength, int32_t protectionBit);
    // Every stage of one granule, for all channels, appending its PCM pairs at out; levels
    // gathers channel 0's subband magnitudes for the level report.
    void DecodeGranule(int gr, int16_t* out, double* levels);

    // Stages.
    int ReadSideInfo();
    void ReadScaleFactors(int ch, int gr);
    void ReadLsfScaleData(int ch, int gr);
    void ReadLsfScaleFactors(int ch, int gr);
    void DecodeHuffman(int ch, int gr);
    void DecodePair(const HuffTable& table, int32_t& x, int32_t& y, int32_t& v, int32_t& w);
    void Requantise(int ch, int gr);
    int32_t StereoProcess(int gr);
    void LsfIntensityGains(int position, int scaleSelect, int line);
    void Reorder(int ch, int gr);
    void AntiAlias(int ch, int gr);
    void Hybrid(int ch, int gr);

    int32_t m_quantised[kGranuleLines];
    double m_dequantised[2][kGranuleLines];
    double m_stereoOut[2][kGranuleLines];
    double m_hybridWork[kGranuleLines];
    double m_overlap[2][kGranuleLines];
    double m_stereoWork[2][kGranuleLines];
    int32_t m_nonzeroCount[2];
    int32_t m_lsfScalefacBuffer[54];
    int32_t m_channels = 0;
    uint32_t m_firstChannel = 0;
    uint32_t m_lastChannel = 0;
    uint32_t m_granules = 0;
    int32_t m_frameStart = 0;
    int32_t m_part2Start = 0;
    int32_t m_sampleRateIndex = 0;
    int32_t m_mainDataBegin = 0;
    int32_t m_privateBits = 0;
    ChannelSideInfo m_sideInfo[2] = {};
    ScaleFactors m_scalefac[2] = {};
    std::unique_ptr<SynthesisFilter> m_synthesis[2];
    const uint32_t* m_frameWord;
    int32_t m_frameBit = 0;
    const uint32_t* m_frameEnd = nullptr; // one past the body's word buffer; reads there give 0
    int32_t m_mode = 0;
    int32_t m_modeExtension = 0;
    PcmCallback m_sampleCallback;
    int32_t m_id = 0;
    int32_t m_resWrite;
    int32_t m_resBitsRead;
    int32_t m_resByte;
    int32_t m_resBitsLeft;
    std::unique_ptr<uint8_t[]> m_reservoir; // kReservoirSize byte slots, then kReservoirTail copies
};

inline uint32_t LayerIIIDecoder::Get1Bit() {
    ++m_resBitsRead;
    if (m_resBitsLeft == 0) {
        m_resBitsLeft = 8;
        ++m_resByte;
    }
    --m_resBitsLeft;
    return (m_reservoir[m_resByte & (kReservoirSize - 1)] >> m_resBitsLeft) & 1;
}

// The stages that need no decoder state beyond their arguments; the decoder's members of the
// same names apply them to its own granules.

// Requantisation of one channel's granule: the nonzeroCount quantised lines q (the rest are 0)
// scaled by the granule's gains and scale factors into out, 576 values.
void RequantiseLines(const GranuleInfo& gi, const ScaleFactors& sf, const SfBandIndex& bands,
                     const int32_t* q, int32_t nonzeroCount, double* out);
// A short block's lines from window order to subband order (others copied as they are), in to
// out, 576 values each.
void ReorderLines(const GranuleInfo& gi, const SfBandIndex& bands, const double* in, double* out);
// The alias reduction of the granule's long subbands, in place.
void AntiAliasLines(const GranuleInfo& gi, double* lines);
// The hybrid synthesis of one subband: x (18 lines, used as scratch) to 36 windowed values.
void Imdct(double* x, double* out, int blockType);

} // namespace mplay
