// Frame decode driver: side information, main data through the reservoir, then per granule the
// stages from scale factors to PCM.
//   in:  one frame body (big-endian words) and its header fields
//   out: 16-bit PCM appended to pcm[filled...] as left/right pairs (32767 full scale), and one
//        level report per granule (sums of channel 0's subband magnitudes)
#include "decode/LayerIIIDecoder.h"

#include "decode/Kernels.h"
#include "decode/Tables.h"
#include "mplay/MpegStream.h"

#include <algorithm>
#include <iterator>
#include <new>

namespace mplay {
namespace {

constexpr int kGranuleValues = SynthesisFilter::kGranuleValues;

// The polyphase filter bank mirrors the spectrum of every odd subband; negating the odd time
// slots of those subbands undoes it.
void InvertOddSubbands(double* work) {
    for (int sb = 1; sb < kSubbands; sb += 2) {
        for (int ss = 1; ss < kSlots; ss += 2) {
            work[sb * kSlots + ss] = -work[sb * kSlots + ss];
        }
    }
}

} // namespace

LayerIIIDecoder::LayerIIIDecoder()
    : m_quantised{}, m_dequantised{}, m_stereoOut{}, m_hybridWork{}, m_overlap{}, m_stereoWork{},
      m_nonzeroCount{}, m_lsfScalefacBuffer{}, m_frameWord(nullptr), m_sampleCallback(nullptr),
      m_resWrite(0), m_resBitsRead(0), m_resByte(0), m_resBitsLeft(8),
      // Cleared so that reads past the bytes written (malformed part2_3_length) are
      // deterministic.
      m_reservoir(new uint8_t[kReservoirSize + kReservoirTail]()) {}

LayerIIIDecoder::~LayerIIIDecoder() = default;

int LayerIIIDecoder::Init(int32_t id, int32_t mode, int32_t modeExtension,
                          int32_t samplingFrequency, PcmCallback callback) {
    // Values no stream header can carry would index the band table out of range, and every
    // sample goes through the callback.
    if ((id != 0 && id != 1) || samplingFrequency < 0 || samplingFrequency > 2 ||
        callback == nullptr) {
        return 0;
    }
    for (int ch = 0; ch < 2; ++ch) {
        m_synthesis[ch].reset(new (std::nothrow) SynthesisFilter(ch));
    }
    if (m_synthesis[0] == nullptr || m_synthesis[1] == nullptr) {
        for (auto& filter : m_synthesis) {
            filter.reset();
        }
        return 0;
    }

    if (mode == 3) {
        m_channels = 1;
        m_firstChannel = 0;
        m_lastChannel = 0;
    } else {
        m_channels = 2;
        m_firstChannel = 0;
        m_lastChannel = 1;
    }

    m_sampleCallback = callback;
    m_frameStart = 0;
    m_id = id;
    m_granules = id == 1 ? 2 : 1;
    m_mode = mode;
    m_modeExtension = modeExtension;
    m_sampleRateIndex = m_granules == 2 ? samplingFrequency + 3 : samplingFrequency;

    for (auto& overlap : m_overlap) {
        std::fill(std::begin(overlap), std::end(overlap), 0.0);
    }
    m_nonzeroCount[0] = kGranuleLines;
    m_nonzeroCount[1] = kGranuleLines;
    m_frameWord = nullptr;
    return 1;
}

int LayerIIIDecoder::DecodeFrame(const uint32_t* body, int32_t mainDataLength, int16_t* pcm,
                                 uint32_t& filled, int32_t id, int32_t mode, int32_t modeExtension,
                                 int32_t protectionBit) {
    if (m_synthesis[0] == nullptr || body == nullptr || pcm == nullptr) {
        return 0; // no successful Init
    }
    m_id = id;
    m_mode = mode;
    m_modeExtension = modeExtension;
    if (!ReadMainData(body, mainDataLength, protectionBit)) {
        return 0;
    }
    // Each granule's level report also holds the sums of the granules before it in the frame.
    double levels[kSubbands] = {};
    int16_t* out = pcm + 2 * (filled / 2); // the next left/right pair
    for (uint32_t gr = 0; gr < m_granules; ++gr) {
        DecodeGranule(static_cast<int>(gr), out, levels);
        out += 2 * kGranuleValues;
    }
    filled += 2 * kGranuleValues * m_granules;
    return 1;
}

bool LayerIIIDecoder::ReadMainData(const uint32_t* body, int32_t mainDataLength,
                                   int32_t protectionBit) {
    m_frameWord = body;
    m_frameEnd = body + MpegStream::kFrameWords;
    m_frameBit = 0;
    if (protectionBit == 0) {
        GetFrameBits(16); // the CRC word, not checked
    }
    ReadSideInfo();

    // The frame's main data joins the reservoir; only as many bytes as the word buffer still
    // holds, so that m_frameStart keeps counting exactly the bytes stored.
    const int32_t bitsTaken = static_cast<int32_t>(m_frameWord - body) * 32 + m_frameBit;
    const int32_t room = (MpegStream::kFrameWords * 32 - bitsTaken) / 8;
    const int32_t length = std::clamp(mainDataLength, 0, room);
    PutFrameBytes(length);

    // Where the previous frame's main data ended, on a byte boundary; this frame's begins
    // main_data_begin bytes before the new bytes.
    int32_t mainDataEnd = BitsRead() / 8;
    if (BitsRead() % 8 != 0) {
        GetBits(8 - BitsRead() % 8);
        ++mainDataEnd;
    }
    const int32_t discard = m_frameStart - mainDataEnd - m_mainDataBegin;
    m_frameStart += length;
    if (discard < 0) {
        return false; // main data begins before the oldest byte the reservoir holds
    }

    // Keeps the counters bounded on long streams; slot indices are reduced anyway.
    while (mainDataEnd > kReservoirSize) {
        m_frameStart -= kReservoirSize;
        RewindBytes(kReservoirSize);
        mainDataEnd -= kReservoirSize;
    }

    // Skips what lies between the last frame's data and this one's (ancillary data).
    for (int32_t i = 0; i < discard; ++i) {
        GetBits(8);
    }
    return true;
}

void LayerIIIDecoder::DecodeGranule(int gr, int16_t* out, double* levels) {
    for (int ch = 0; ch < m_channels; ++ch) {
        m_part2Start = BitsRead();
        if (m_granules == 2) {
            ReadScaleFactors(ch, gr);
        } else {
            ReadLsfScaleFactors(ch, gr);
        }
        DecodeHuffman(ch, gr);
        Requantise(ch, gr);
    }
    // Stereo processing that would only copy both channels, and a reordering that would only
    // copy one, are left out: the later stages work on the lines where they already are.
    const bool jointStereo = m_channels == 2 && m_mode == 1 && (m_modeExtension & 3) != 0;
    if (jointStereo) {
        StereoProcess(gr);
    }

    // The player's own converter takes both channels of a granule at once; any other callback is
    // given every value, channel by channel, in the order they are made.
    const bool builtInConverter = m_sampleCallback == SampleToPcm;
    // Which has no use for the level reports: they are neither summed nor sent.
    double* const reported = builtInConverter ? nullptr : levels;
    static const GranuleHybrid hybrid = ChosenLaneKernels().granule;
    for (uint32_t c = m_firstChannel; c <= m_lastChannel; ++c) {
        const int ch = static_cast<int>(c);
        const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
        double* lines = jointStereo ? m_stereoOut[ch] : m_dequantised[ch];
        if (IsShortBlock(gi)) {
            ReorderLines(gi, g_sfBandTable[m_sampleRateIndex], lines, m_hybridWork);
            lines = m_hybridWork;
        }
        AntiAliasLines(gi, lines);
        hybrid(lines, m_overlap[ch], gi.block_type & 3,
               gi.window_switching_flag && gi.mixed_block_flag);
        InvertOddSubbands(lines);

        SynthesisFilter& filter = *m_synthesis[ch];
        filter.SynthesiseGranule(lines, ch == 0 ? reported : nullptr);
        if (!builtInConverter) {
            SynthesisFilter::Deliver(filter.Output(), kGranuleValues, out + ch, ch,
                                     m_sampleCallback);
            if (m_channels == 1) {
                // A single channel is heard on both speakers: each sample fills its pair.
                for (int32_t p = 0; p < kGranuleValues; ++p) {
                    out[2 * p + 1] = out[2 * p];
                }
            }
        }
        if (ch == 0 && reported) {
            m_sampleCallback(nullptr, reported, kSubbands);
        }
    }
    if (builtInConverter) {
        // A single channel is heard on both speakers.
        SynthesisFilter::ConvertPairs(m_synthesis[0]->Output(),
                                      m_synthesis[m_channels == 1 ? 0 : 1]->Output(),
                                      kGranuleValues, out);
    }
}

} // namespace mplay
