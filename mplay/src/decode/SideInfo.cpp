// Side information (from the frame reader) and scale factors (from the reservoir).
//   in:  frame body bits after the CRC word; reservoir bits at m_part2Start
//   out: m_mainDataBegin, m_privateBits, m_sideInfo; m_scalefac[ch] (integer scale factors),
//        m_lsfScalefacBuffer for the lower-sampling-frequency syntax
#include "decode/LayerIIIDecoder.h"
#include "decode/Tables.h"

namespace mplay {

int LayerIIIDecoder::ReadSideInfo() {
    const bool lsf = m_granules != 2;
    // The part of a granule record shared by both syntaxes; false on the forbidden window
    // switching with block_type 0, where reading stops and later fields keep older values.
    auto readGranule = [this, lsf](GranuleInfo& gi) {
        gi.part2_3_length = static_cast<int32_t>(GetFrameBits(12));
        gi.big_values = static_cast<int32_t>(GetFrameBits(9));
        gi.global_gain = static_cast<int32_t>(GetFrameBits(8));
        gi.scalefac_compress = static_cast<int32_t>(GetFrameBits(lsf ? 9 : 4));
        gi.window_switching_flag = static_cast<int32_t>(GetFrameBits(1));
        if (gi.window_switching_flag) {
            gi.block_type = static_cast<int32_t>(GetFrameBits(2));
            gi.mixed_block_flag = static_cast<int32_t>(GetFrameBits(1));
            gi.table_select[0] = static_cast<int32_t>(GetFrameBits(5));
            gi.table_select[1] = static_cast<int32_t>(GetFrameBits(5));
            for (int32_t& gain : gi.subblock_gain) {
                gain = static_cast<int32_t>(GetFrameBits(3));
            }
            if (gi.block_type == 0) {
                return false;
            }
            if (gi.block_type == 2 && gi.mixed_block_flag == 0) {
                gi.region0_count = 8;
            } else {
                gi.region0_count = 7;
                gi.region1_count = 13;
            }
        } else {
            for (int32_t& table : gi.table_select) {
                table = static_cast<int32_t>(GetFrameBits(5));
            }
            gi.region0_count = static_cast<int32_t>(GetFrameBits(4));
            gi.region1_count = static_cast<int32_t>(GetFrameBits(3));
            gi.block_type = 0;
        }
        return true;
    };

    if (!lsf) {
        m_mainDataBegin = static_cast<int32_t>(GetFrameBits(9));
        m_privateBits = static_cast<int32_t>(GetFrameBits(m_channels == 1 ? 5 : 3));
        for (int ch = 0; ch < m_channels; ++ch) {
            for (int32_t& flag : m_sideInfo[ch].scfsi) {
                flag = static_cast<int32_t>(GetFrameBits(1));
            }
        }
        for (int gr = 0; gr < 2; ++gr) {
            for (int ch = 0; ch < m_channels; ++ch) {
                GranuleInfo& gi = m_sideInfo[ch].granule[gr];
                if (!readGranule(gi)) {
                    return 0;
                }
                gi.preflag = static_cast<int32_t>(GetFrameBits(1));
                gi.scalefac_scale = static_cast<int32_t>(GetFrameBits(1));
                gi.count1table_select = static_cast<int32_t>(GetFrameBits(1));
            }
        }
        return 1;
    }

    m_mainDataBegin = static_cast<int32_t>(GetFrameBits(8));
    m_privateBits = static_cast<int32_t>(GetFrameBits(m_channels == 1 ? 1 : 2));
    for (int ch = 0; ch < m_channels; ++ch) {
        GranuleInfo& gi = m_sideInfo[ch].granule[0];
        if (!readGranule(gi)) {
            return 0;
        }
        gi.scalefac_scale = static_cast<int32_t>(GetFrameBits(1));
        gi.count1table_select = static_cast<int32_t>(GetFrameBits(1));
    }
    return 1;
}

void LayerIIIDecoder::ReadScaleFactors(int ch, int gr) {
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    ScaleFactors& sf = m_scalefac[ch];
    const int len1 = slen1[gi.scalefac_compress & 15];
    const int len2 = slen2[gi.scalefac_compress & 15];

    auto readShort = [&](int firstBand, int endBand, int length) {
        for (int band = firstBand; band < endBand; ++band) {
            for (int window = 0; window < 3; ++window) {
                sf.s[window][band] = static_cast<int32_t>(GetBits(length));
            }
        }
    };

    if (IsShortBlock(gi)) {
        if (gi.mixed_block_flag) {
            for (int band = 0; band < 8; ++band) {
                sf.l[band] = static_cast<int32_t>(GetBits(len1));
            }
            readShort(3, 6, len1);
        } else {
            readShort(0, 6, len1);
        }
        readShort(6, 12, len2);
        for (int window = 0; window < 3; ++window) {
            sf.s[window][12] = 0;
        }
        return;
    }

    // Long blocks in four band groups; granule 1 keeps granule 0's values where scfsi says so.
    static constexpr int kGroupStart[5] = {0, 6, 11, 16, 21};
    for (int group = 0; group < 4; ++group) {
        if (gr != 0 && m_sideInfo[ch].scfsi[group] != 0) {
            continue;
        }
        const int length = group < 2 ? len1 : len2;
        for (int band = kGroupStart[group]; band < kGroupStart[group + 1]; ++band) {
            sf.l[band] = static_cast<int32_t>(GetBits(length));
        }
    }
    sf.l[21] = 0;
    sf.l[22] = 0;
}

void LayerIIIDecoder::ReadLsfScaleData(int ch, int gr) {
    GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    int blockTypeNumber = 0;
    if (gi.block_type == 2) {
        blockTypeNumber = gi.mixed_block_flag ? 2 : 1;
    }

    int slen[4] = {0, 0, 0, 0};
    int blockNumber = 0;
    const uint32_t compress = static_cast<uint32_t>(gi.scalefac_compress) & 511;
    if ((m_modeExtension == 1 || m_modeExtension == 3) && ch == 1) {
        // Intensity-stereo right channel; the lowest bit is the intensity scale, read later.
        const uint32_t i = compress >> 1;
        if (i < 180) {
            slen[0] = static_cast<int>(i / 36);
            slen[1] = static_cast<int>((i % 36) / 6);
            slen[2] = static_cast<int>((i % 36) % 6);
            blockNumber = 3;
        } else if (i < 244) {
            const uint32_t d = i - 180;
            slen[0] = static_cast<int>((d % 64) >> 4);
            slen[1] = static_cast<int>((d % 16) >> 2);
            slen[2] = static_cast<int>(d % 4);
            blockNumber = 4;
        } else {
            // 244..254 as tabulated; 255 (compress 510, 511) has no entry and reads no bits.
            const uint32_t d = i - 244;
            if (i < 255) {
                slen[0] = static_cast<int>(d / 3);
                slen[1] = static_cast<int>(d % 3);
            }
            blockNumber = 5;
        }
        gi.preflag = 0;
    } else if (compress < 400) {
        slen[0] = static_cast<int>((compress >> 4) / 5);
        slen[1] = static_cast<int>((compress >> 4) % 5);
        slen[2] = static_cast<int>((compress % 16) >> 2);
        slen[3] = static_cast<int>(compress % 4);
        gi.preflag = 0;
        blockNumber = 0;
    } else if (compress < 500) {
        const uint32_t d = compress - 400;
        slen[0] = static_cast<int>((d >> 2) / 5);
        slen[1] = static_cast<int>((d >> 2) % 5);
        slen[2] = static_cast<int>(d % 4);
        gi.preflag = 0;
        blockNumber = 1;
    } else {
        const uint32_t d = compress - 500;
        slen[0] = static_cast<int>(d / 3);
        slen[1] = static_cast<int>(d % 3);
        gi.preflag = 1;
        blockNumber = 2;
    }

    int k = 0;
    for (int32_t& value : m_lsfScalefacBuffer) {
        value = 0;
    }
    for (int group = 0; group < 4; ++group) {
        const int count = nr_of_sfb_block[blockNumber][blockTypeNumber][group];
        for (int j = 0; j < count && k < 54; ++j) {
            m_lsfScalefacBuffer[k++] = static_cast<int32_t>(GetBits(slen[group]));
        }
    }
}

void LayerIIIDecoder::ReadLsfScaleFactors(int ch, int gr) {
    ReadLsfScaleData(ch, gr);
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    ScaleFactors& sf = m_scalefac[ch];
    const int32_t* next = m_lsfScalefacBuffer;

    if (IsShortBlock(gi)) {
        int firstShortBand = 0;
        if (gi.mixed_block_flag) {
            for (int band = 0; band < 8; ++band) {
                sf.l[band] = *next++;
            }
            firstShortBand = 3;
        }
        for (int band = firstShortBand; band < 12; ++band) {
            for (int window = 0; window < 3; ++window) {
                sf.s[window][band] = *next++;
            }
        }
        for (int window = 0; window < 3; ++window) {
            sf.s[window][12] = 0;
        }
        return;
    }
    for (int band = 0; band < 21; ++band) {
        sf.l[band] = *next++;
    }
    sf.l[21] = 0;
    sf.l[22] = 0;
}

} // namespace mplay
