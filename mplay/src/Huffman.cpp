// Huffman decoding of one granule and channel's spectral values.
//   in:  reservoir bits from after the scale factors up to m_part2Start + part2_3_length
//   out: m_quantised[0..575] (signed integers, magnitudes up to 8206), m_nonzeroCount[ch]
// However the side information lies, nothing is stored outside the 576 values and the
// reservoir ends at the granule's stated end.
#include "mplay/LayerIIIDecoder.h"
#include "mplay/Tables.h"

#include <algorithm>
#include <array>
#include <functional>

namespace mplay {
namespace {

constexpr int kLines = 576;
constexpr int kMaxCodeBits = 32;
constexpr int32_t kSlotMask = LayerIIIDecoder::kReservoirSize - 1;

// The tree walk done in advance for every pattern of the next kPeekBits bits: how many of them
// the walk takes and where it stops, at a leaf, at a node that needs more bits, or outside the
// table (which only broken tree data can reach). Decoding then takes the bits at once and walks
// on bit by bit only from a node. Where the pattern also holds the code's sign bits and it needs
// no escape, the entry gives the signed values themselves (most codes of real streams).
constexpr int kPeekBits = 8;
enum class PeekEnd : uint8_t { Leaf, Node, Outside, Pair, Quadruple };
struct PeekEntry {
    // The leaf byte, the node to go on from, x and y as two signed bytes (Pair), or v, w, x, y
    // as two-bit fields holding value + 1 (Quadruple).
    uint16_t value;
    uint8_t bits; // with the sign bits for Pair and Quadruple
    PeekEnd end;
};
using PeekTable = std::array<PeekEntry, 1u << kPeekBits>;

PeekEntry WalkPattern(const HuffTable& table, uint32_t pattern) {
    uint32_t index = 0;
    int bits = 0;
    while (table.tree[index][0] != 0) {
        if (bits == kPeekBits) {
            return {static_cast<uint16_t>(index), static_cast<uint8_t>(bits), PeekEnd::Node};
        }
        const uint32_t bit = (pattern >> (kPeekBits - 1 - bits)) & 1;
        ++bits;
        uint32_t step = table.tree[index][bit];
        index += step;
        while (step >= 250 && index < table.treelen) {
            step = table.tree[index][bit];
            index += step;
        }
        if (index >= table.treelen) {
            return {0, static_cast<uint8_t>(bits), PeekEnd::Outside};
        }
    }
    return {table.tree[index][1], static_cast<uint8_t>(bits), PeekEnd::Leaf};
}

bool IsQuadrupleTable(const HuffTable& table) {
    return table.name[0] == '3' && (table.name[1] == '2' || table.name[1] == '3') &&
           table.name[2] == '\0';
}

// A leaf entry extended by the sign bits that follow the code within the pattern; left as it is
// when they do not all fit or a value takes an escape.
PeekEntry WithSigns(const HuffTable& table, uint32_t pattern, PeekEntry entry) {
    if (entry.end != PeekEnd::Leaf) {
        return entry;
    }
    const uint32_t leaf = entry.value;
    int values[4];
    int count;
    if (IsQuadrupleTable(table)) {
        values[0] = (leaf >> 3) & 1;
        values[1] = (leaf >> 2) & 1;
        values[2] = (leaf >> 1) & 1;
        values[3] = leaf & 1;
        count = 4;
    } else {
        values[0] = static_cast<int>(leaf >> 4);
        values[1] = static_cast<int>(leaf & 15);
        count = 2;
        if (table.linbits > 0 && (static_cast<uint32_t>(values[0]) == table.xlen - 1 ||
                                  static_cast<uint32_t>(values[1]) == table.ylen - 1)) {
            return entry;
        }
    }
    int bits = entry.bits;
    for (int k = 0; k < count; ++k) {
        if (values[k] != 0) {
            if (bits == kPeekBits) {
                return entry;
            }
            if ((pattern >> (kPeekBits - 1 - bits)) & 1) {
                values[k] = -values[k];
            }
            ++bits;
        }
    }
    uint32_t packed = 0;
    if (count == 4) {
        for (int k = 0; k < 4; ++k) {
            packed = (packed << 2) | static_cast<uint32_t>(values[k] + 1);
        }
    } else {
        packed = (static_cast<uint32_t>(values[0] & 0xFF) << 8) | (values[1] & 0xFF);
    }
    return {static_cast<uint16_t>(packed), static_cast<uint8_t>(bits),
            count == 4 ? PeekEnd::Quadruple : PeekEnd::Pair};
}

const std::array<PeekTable, 34> g_peekTables = [] {
    std::array<PeekTable, 34> all{};
    for (size_t t = 0; t < all.size(); ++t) {
        if (g_huffTables[t].treelen != 0 && g_huffTables[t].treelen <= 0xFFFF) {
            for (uint32_t pattern = 0; pattern < all[t].size(); ++pattern) {
                all[t][pattern] =
                    WithSigns(g_huffTables[t], pattern, WalkPattern(g_huffTables[t], pattern));
            }
        }
    }
    return all;
}();

const PeekTable* PeekTableFor(const HuffTable& table) {
    const std::less<const HuffTable*> before;
    if (before(&table, g_huffTables) || !before(&table, g_huffTables + 34) ||
        table.treelen > 0xFFFF) {
        return nullptr;
    }
    return &g_peekTables[static_cast<size_t>(&table - g_huffTables)];
}

// Negates value when the sign bit is 1, without a branch: sign bits are random, and a branch
// on each would mispredict half the time.
void ApplySign(int32_t& value, uint32_t signBit) {
    const int32_t mask = -static_cast<int32_t>(signBit & 1);
    value = (value ^ mask) - mask;
}

// The next kPeekBits reservoir bits as Get1Bit would return them, without taking them.
uint32_t PeekBits(const uint32_t* ring, int32_t byte, int32_t left) {
    static_assert(kPeekBits <= 9, "two reservoir bytes hold at least nine unread bits");
    if (left == 0) {
        left = 8;
        ++byte;
    }
    const uint32_t window = ((ring[byte & kSlotMask] & 0xFF & ((1u << left) - 1)) << 8) |
                            (ring[(byte + 1) & kSlotMask] & 0xFF);
    return (window >> (left + 8 - kPeekBits)) & ((1u << kPeekBits) - 1);
}

// Takes n bits (n <= 8) and leaves the counters exactly as n calls of Get1Bit would.
void SkipBits(int32_t& bitsRead, int32_t& byte, int32_t& left, int n) {
    if (n <= 0) {
        return;
    }
    bitsRead += n;
    if (left == 0) {
        left = 8;
        ++byte;
    }
    if (n <= left) {
        left -= n;
        return;
    }
    const int rest = n - left;
    byte += (rest + 7) / 8;
    left = (8 - rest % 8) % 8;
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

    // The first bits through the lookup, when the table has one; it ends where the walk below
    // would after as many bits.
    uint32_t index = 0;
    int bits = 0;
    PeekEnd end = PeekEnd::Node;
    if (const PeekTable* peek = PeekTableFor(table)) {
        const PeekEntry entry = (*peek)[PeekBits(m_reservoir, m_resByte, m_resBitsLeft)];
        SkipBits(m_resBitsRead, m_resByte, m_resBitsLeft, entry.bits);
        if (entry.end == PeekEnd::Outside) {
            return;
        }
        if (entry.end == PeekEnd::Pair) {
            x = static_cast<int8_t>(entry.value >> 8);
            y = static_cast<int8_t>(entry.value & 0xFF);
            return;
        }
        if (entry.end == PeekEnd::Quadruple) {
            v = static_cast<int32_t>((entry.value >> 6) & 3) - 1;
            w = static_cast<int32_t>((entry.value >> 4) & 3) - 1;
            x = static_cast<int32_t>((entry.value >> 2) & 3) - 1;
            y = static_cast<int32_t>(entry.value & 3) - 1;
            return;
        }
        end = entry.end;
        index = entry.value;
        bits = entry.bits;
    }
    uint32_t leaf = index;
    if (end == PeekEnd::Node) {
        // Walk the tree one bit per node; the bounds hold for any tree data, not just ours.
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
        leaf = table.tree[index][1];
    }

    if (IsQuadrupleTable(table)) {
        v = static_cast<int32_t>((leaf >> 3) & 1);
        w = static_cast<int32_t>((leaf >> 2) & 1);
        x = static_cast<int32_t>((leaf >> 1) & 1);
        y = static_cast<int32_t>(leaf & 1);
        for (int32_t* value : {&v, &w, &x, &y}) {
            if (*value != 0) {
                ApplySign(*value, Get1Bit());
            }
        }
        return;
    }

    x = static_cast<int32_t>(leaf >> 4);
    y = static_cast<int32_t>(leaf & 15);
    if (table.linbits > 0 && static_cast<uint32_t>(x) == table.xlen - 1) {
        x += static_cast<int32_t>(GetBits(static_cast<int>(table.linbits)));
    }
    if (x != 0) {
        ApplySign(x, Get1Bit());
    }
    if (table.linbits > 0 && static_cast<uint32_t>(y) == table.ylen - 1) {
        y += static_cast<int32_t>(GetBits(static_cast<int>(table.linbits)));
    }
    if (y != 0) {
        ApplySign(y, Get1Bit());
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
