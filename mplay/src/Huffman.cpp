// Huffman decoding of one granule and channel's spectral values.
//   in:  reservoir bits from after the scale factors up to m_part2Start + part2_3_length
//   out: m_quantised[0..575] (signed integers, magnitudes up to 8206), m_nonzeroCount[ch]
// However the side information lies, nothing is stored outside the 576 values and the
// reservoir ends at the granule's stated end.
#include "mplay/LayerIIIDecoder.h"
#include "mplay/Tables.h"

#include <algorithm>

namespace mplay {
namespace {

constexpr int kLines = 576;
constexpr int kMaxCodeBits = 32;

bool IsQuadrupleTable(const HuffTable& table) {
    return table.name[0] == '3' && (table.name[1] == '2' || table.name[1] == '3') &&
           table.name[2] == '\0';
}

// First line of long band `band`, or the end of the spectrum for indices past the table row,
// which only malformed region counts produce.
int LongBandStart(const SfBandIndex& bands, int band) {
    return band >= 0 && band <= 22 ? bands.l[band] : kLines;
}

} // namespace

void LayerIIIDecoder::DecodePair(const HuffTable& table, int32_t& x, int32_t& y, int32_t& v,
                                 int32_t& w) {
    x = y = v = w = 0;
    if (table.treelen == 0) {
        return;
    }

    // Walk the tree one bit per node; the bounds hold for any tree data, not just ours.
    uint32_t index = 0;
    int bits = 0;
    while (table.tree[index][0] != 0) {
        if (bits == kMaxCodeBits) {
            return;
        }
        const uint32_t bit = Get1Bit();
        ++bits;
        uint32_t step = table.tree[index][bit];
        index += step;
        while (step >= 250 && index < table.treelen) {
            step = table.tree[index][bit];
            index += step;
        }
        if (index >= table.treelen) {
            return;
        }
    }
    const uint32_t leaf = table.tree[index][1];

    if (IsQuadrupleTable(table)) {
        v = static_cast<int32_t>((leaf >> 3) & 1);
        w = static_cast<int32_t>((leaf >> 2) & 1);
        x = static_cast<int32_t>((leaf >> 1) & 1);
        y = static_cast<int32_t>(leaf & 1);
        for (int32_t* value : {&v, &w, &x, &y}) {
            if (*value != 0 && Get1Bit()) {
                *value = -*value;
            }
        }
        return;
    }

    x = static_cast<int32_t>(leaf >> 4);
    y = static_cast<int32_t>(leaf & 15);
    if (table.linbits > 0 && static_cast<uint32_t>(x) == table.xlen - 1) {
        x += static_cast<int32_t>(GetBits(static_cast<int>(table.linbits)));
    }
    if (x != 0 && Get1Bit()) {
        x = -x;
    }
    if (table.linbits > 0 && static_cast<uint32_t>(y) == table.ylen - 1) {
        y += static_cast<int32_t>(GetBits(static_cast<int>(table.linbits)));
    }
    if (y != 0 && Get1Bit()) {
        y = -y;
    }
}

void LayerIIIDecoder::DecodeHuffman(int ch, int gr) {
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    const int32_t end = m_part2Start + gi.part2_3_length;

    int region1 = 36;
    int region2 = kLines;
    if (!(gi.window_switching_flag && gi.block_type == 2)) {
        const SfBandIndex& bands = g_sfBandTable[m_sampleRateIndex];
        region1 = LongBandStart(bands, gi.region0_count + 1);
        region2 = LongBandStart(bands, gi.region0_count + gi.region1_count + 2);
    }

    // Big values: the budget is not consulted here, only at the end of the granule.
    int32_t x, y, v, w;
    int i = 0;
    const int bigEnd = std::clamp(2 * gi.big_values, 0, kLines);
    for (; i < bigEnd; i += 2) {
        const int region = i < region1 ? 0 : (i < region2 ? 1 : 2);
        DecodePair(g_huffTables[gi.table_select[region] & 31], x, y, v, w);
        m_quantised[i] = x;
        m_quantised[i + 1] = y;
    }

    // Count1 quadruples. One starting at 574 keeps only its first two values.
    const HuffTable& quad = g_huffTables[32 + (gi.count1table_select & 1)];
    while (BitsRead() < end && i < kLines) {
        DecodePair(quad, x, y, v, w);
        const int32_t values[4] = {v, w, x, y};
        for (int k = 0; k < 4 && i + k < kLines; ++k) {
            m_quantised[i + k] = values[k];
        }
        i += 4;
    }

    // Pull back to the granule's end, dropping the last four values, or skip its stuffing.
    if (BitsRead() > end) {
        RewindBits(BitsRead() - end);
        i = std::max(i - 4, 0);
    }
    if (BitsRead() < end) {
        GetBits(end - BitsRead());
    }

    const int count = std::min(i, kLines);
    m_nonzeroCount[ch] = count;
    std::fill(m_quantised + count, m_quantised + kLines, 0);
}

} // namespace mplay
