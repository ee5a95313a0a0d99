// Huffman decoding of one granule and channel's spectral values.
//   in:  reservoir bits from after the scale factors up to m_part2Start + part2_3_length
//   out: m_quantised[0..575] (signed integers, magnitudes up to 8206), m_nonzeroCount[ch]
// However the side information lies, nothing is stored outside the 576 values and the
// reservoir ends at the granule's stated end.
#include "decode/LayerIIIDecoder.h"
#include "decode/ReservoirBits.h"
#include "decode/Tables.h"

#include <algorithm>
#include <array>
#include <functional>

namespace mplay {
namespace {

using reservoir::AdvanceBits;
using reservoir::LoadBigEndian64;

constexpr int kLines = kGranuleLines;
constexpr int kMaxCodeBits = 32;
constexpr int32_t kSlotMask = LayerIIIDecoder::kReservoirSize - 1;

// The tree walk done in advance for every pattern of the next kPeekBits bits: how many of them
// the walk takes and where it stops, at a leaf, at a node that needs more bits, or outside the
// table (which only broken tree data can reach). Decoding then takes the bits at once and walks
// on bit by bit only from a node. Where the pattern also holds the code's sign bits and it needs
// no escape, the entry gives the signed values themselves (most codes of real streams).
constexpr int kPeekBits = 10;
enum class PeekEnd : uint8_t { Leaf, Node, Outside, Pair, Quadruple };
struct PeekEntry {
    // The leaf byte, the node to go on from, x and y as two signed bytes (Pair), or v, w, x, y
    // as two-bit fields holding value + 1 (Quadruple).
    uint16_t value;
    uint8_t bits; // with the sign bits for Pair and Quadruple
    PeekEnd end;
};
using PeekTable = std::array<PeekEntry, 1u << kPeekBits>;

// Walks the tree from node index, bits taken so far, one bit per node from nextBit(bits), up to
// maxBits. The bounds hold for any tree data, not just ours.
struct WalkEnd {
    PeekEnd end;    // Leaf, Node (maxBits reached) or Outside
    uint32_t value; // the leaf byte or the node
    int bits;
};
template <class NextBit>
WalkEnd WalkTree(const HuffTable& table, uint32_t index, int bits, int maxBits, NextBit nextBit) {
    while (table.tree[index][0] != 0) {
        if (bits == maxBits) {
            return {PeekEnd::Node, index, bits};
        }
        const uint32_t bit = nextBit(bits);
        ++bits;
        uint32_t step = table.tree[index][bit];
        index += step;
        while (step >= 250 && index < table.treelen) {
            step = table.tree[index][bit];
            index += step;
        }
        if (index >= table.treelen) {
            return {PeekEnd::Outside, 0, bits};
        }
    }
    return {PeekEnd::Leaf, table.tree[index][1], bits};
}

PeekEntry WalkPattern(const HuffTable& table, uint32_t pattern) {
    const WalkEnd walk = WalkTree(table, 0, 0, kPeekBits, [pattern](int taken) {
        return (pattern >> (kPeekBits - 1 - taken)) & 1;
    });
    return {static_cast<uint16_t>(walk.end == PeekEnd::Outside ? 0 : walk.value),
            static_cast<uint8_t>(walk.bits), walk.end};
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

// The reservoir's bits from a read position on, held most significant first in a 64-bit
// register. It reads the ring slots that Get1Bit would, in the same order, so that taking n bits
// here and then committing them leaves the reservoir as n calls of Get1Bit would.
class RingBits {
  public:
    RingBits(const uint8_t* ring, int32_t byte, int32_t left) : m_ring(ring), m_next(byte + 1) {
        left = std::clamp(left, 0, 8);
        if (left > 0) {
            m_cache = static_cast<uint64_t>(ring[byte & kSlotMask] & ((1u << left) - 1))
                      << (64 - left);
            m_count = left;
        }
    }

    // Tops the register up to 56 or more bits without a branch: the bits it ORs in below those
    // counted are the true next bits, so ORing them in again later changes nothing.
    void Refill() {
        m_cache |= LoadBigEndian64(m_ring + (m_next & kSlotMask)) >> m_count;
        m_next += (63 - m_count) >> 3;
        m_count |= 56;
    }
    // The next n bits (1 <= n <= 32), which must be in the register.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(m_cache >> (64 - n)); }
    void Skip(int n) {
        m_cache <<= n;
        m_count -= n;
        m_taken += n;
    }
    // n bits (0 <= n <= 32), refilling first when the register holds fewer.
    uint32_t Take(int n) {
        if (n <= 0) {
            return 0;
        }
        if (m_count < n) {
            Refill();
        }
        const uint32_t value = Peek(n);
        Skip(n);
        return value;
    }
    int32_t Taken() const { return m_taken; }

  private:
    const uint8_t* m_ring; // kReservoirSize slots and the tail that repeats the first ones
    int32_t m_next;        // ring index of the first byte not yet in the register
    uint64_t m_cache = 0;
    int m_count = 0;
    int32_t m_taken = 0;
};

// The rest of a code whose walk the lookup left at a node: the leaf byte, or -1 when the walk
// leaves the table or takes more bits than any code has.
int32_t WalkFrom(const HuffTable& table, uint32_t index, int bits, RingBits& in) {
    const WalkEnd walk =
        WalkTree(table, index, bits, kMaxCodeBits, [&in](int) { return in.Take(1); });
    return walk.end == PeekEnd::Leaf ? static_cast<int32_t>(walk.value) : -1;
}

struct Code {
    int32_t v = 0, w = 0, x = 0, y = 0; // v and w stay 0 for a pair table
};

// Everything the lookup entry leaves to do: the rest of a long code, escapes, and sign bits.
// The register goes in and out by value, so that the decoding loop keeps it in registers.
inline RingBits FinishCode(const HuffTable& table, PeekEntry entry, RingBits in, Code& out) {
    int32_t leaf = entry.value;
    if (entry.end == PeekEnd::Outside) {
        return in;
    }
    if (entry.end == PeekEnd::Node) {
        leaf = WalkFrom(table, entry.value, entry.bits, in);
        if (leaf < 0) {
            return in;
        }
    }
    if (IsQuadrupleTable(table)) {
        int32_t* values[4] = {&out.v, &out.w, &out.x, &out.y};
        for (int k = 0; k < 4; ++k) {
            *values[k] = (leaf >> (3 - k)) & 1;
            if (*values[k] != 0) {
                ApplySign(*values[k], in.Take(1));
            }
        }
        return in;
    }
    int32_t x = leaf >> 4;
    int32_t y = leaf & 15;
    if (table.linbits > 0 && static_cast<uint32_t>(x) == table.xlen - 1) {
        x += static_cast<int32_t>(in.Take(static_cast<int>(table.linbits)));
    }
    if (x != 0) {
        ApplySign(x, in.Take(1));
    }
    if (table.linbits > 0 && static_cast<uint32_t>(y) == table.ylen - 1) {
        y += static_cast<int32_t>(in.Take(static_cast<int>(table.linbits)));
    }
    if (y != 0) {
        ApplySign(y, in.Take(1));
    }
    out.x = x;
    out.y = y;
    return in;
}

// One code of table from in, which must hold kPeekBits bits or more. A code found by the lookup
// takes at most kPeekBits of them; any other leaves the register refilled. peek is the table's
// lookup, or null to walk the tree from its root.
inline Code DecodeCode(const HuffTable& table, const PeekTable* peek, RingBits& in) {
    Code code;
    if (table.treelen == 0) {
        return code;
    }
    PeekEntry entry{0, 0, PeekEnd::Node};
    if (peek) {
        entry = (*peek)[in.Peek(kPeekBits)];
        in.Skip(entry.bits);
    }
    if (entry.end == PeekEnd::Pair) {
        code.x = static_cast<int8_t>(entry.value >> 8);
        code.y = static_cast<int8_t>(entry.value & 0xFF);
    } else if (entry.end == PeekEnd::Quadruple) {
        code.v = static_cast<int32_t>((entry.value >> 6) & 3) - 1;
        code.w = static_cast<int32_t>((entry.value >> 4) & 3) - 1;
        code.x = static_cast<int32_t>((entry.value >> 2) & 3) - 1;
        code.y = static_cast<int32_t>(entry.value & 3) - 1;
    } else [[unlikely]] {
        in = FinishCode(table, entry, in, code);
        in.Refill();
    }
    return code;
}

// After a refill (56 bits or more), this many codes in a row find kPeekBits bits in the register
// without another. A refill's load waits on the bits taken before it, so refilling once per group
// instead of once per code takes it off most codes' chain of dependent steps.
constexpr int kCodesPerRefill = 4;
static_assert(56 - (kCodesPerRefill - 1) * kPeekBits >= kPeekBits);

// First line of long band `band`, or the end of the spectrum for indices past the table row,
// which only malformed region counts produce.
int LongBandStart(const SfBandIndex& bands, int band) {
    return band >= 0 && band <= 22 ? bands.l[band] : kLines;
}

} // namespace

void LayerIIIDecoder::DecodePair(const HuffTable& table, int32_t& x, int32_t& y, int32_t& v,
                                 int32_t& w) {
    RingBits in(m_reservoir.get(), m_resByte, m_resBitsLeft);
    in.Refill();
    const Code code = DecodeCode(table, PeekTableFor(table), in);
    AdvanceBits(m_resBitsRead, m_resByte, m_resBitsLeft, in.Taken());
    v = code.v;
    w = code.w;
    x = code.x;
    y = code.y;
}

void LayerIIIDecoder::DecodeHuffman(int ch, int gr) {
    const GranuleInfo& gi = m_sideInfo[ch].granule[gr];
    const int32_t end = m_part2Start + gi.part2_3_length;

    int region1 = 36;
    int region2 = kLines;
    if (!IsShortBlock(gi)) {
        const SfBandIndex& bands = g_sfBandTable[m_sampleRateIndex];
        region1 = LongBandStart(bands, gi.region0_count + 1);
        region2 = LongBandStart(bands, gi.region0_count + gi.region1_count + 2);
    }

    // The bits go through a register of their own and are committed to the reservoir once, at
    // the end of the granule.
    RingBits in(m_reservoir.get(), m_resByte, m_resBitsLeft);

    // Big values: the budget is not consulted here, only at the end of the granule.
    int i = 0;
    const int bigEnd = std::clamp(2 * gi.big_values, 0, kLines);
    const int regionEnd[3] = {std::min(region1, bigEnd), std::min(region2, bigEnd), bigEnd};
    for (int region = 0; region < 3; ++region) {
        const HuffTable& table = g_huffTables[gi.table_select[region] & 31];
        const PeekTable* peek = PeekTableFor(table);
        while (i < regionEnd[region]) {
            in.Refill();
            for (int n = 0; n < kCodesPerRefill && i < regionEnd[region]; ++n, i += 2) {
                const Code code = DecodeCode(table, peek, in);
                m_quantised[i] = code.x;
                m_quantised[i + 1] = code.y;
            }
        }
    }

    // Count1 quadruples. One starting at 574 keeps only its first two values.
    const HuffTable& quad = g_huffTables[32 + (gi.count1table_select & 1)];
    const PeekTable* quadPeek = PeekTableFor(quad);
    const int32_t quadEnd = end - BitsRead();
    while (in.Taken() < quadEnd && i < kLines) {
        in.Refill();
        for (int n = 0; n < kCodesPerRefill && in.Taken() < quadEnd && i < kLines; ++n, i += 4) {
            const Code code = DecodeCode(quad, quadPeek, in);
            const int32_t values[4] = {code.v, code.w, code.x, code.y};
            for (int k = 0; k < 4 && i + k < kLines; ++k) {
                m_quantised[i + k] = values[k];
            }
        }
    }
    AdvanceBits(m_resBitsRead, m_resByte, m_resBitsLeft, in.Taken());

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
