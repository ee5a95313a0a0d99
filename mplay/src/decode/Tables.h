#pragma once
// Constant tables of the Layer III decoder. Those the standard prints are generated from
// ../shared/iso-tables by tools/tables/gen_iso_tables.py; those a formula gives are computed with
// the stated rounding (see the defining sources).
#include <cstdint>

namespace mplay {

struct SfBandIndex {
    int32_t l[23]; // first line of long bands 0..21, then 576
    int32_t s[14]; // first line of short bands 0..12 within one window, then 192
};
// Rows: 0 = 22.05 kHz, 1 = 24 kHz, 2 = 16 kHz, 3 = 44.1 kHz, 4 = 48 kHz, 5 = 32 kHz.
extern const SfBandIndex g_sfBandTable[6];

extern const int32_t slen1[16];
extern const int32_t slen2[16];
extern const int32_t nr_of_sfb_block[6][3][4];

struct HuffTable {
    char name[4];
    uint32_t xlen;
    uint32_t ylen;
    uint32_t linbits;
    const uint8_t (*tree)[2];
    uint32_t treelen; // 0 marks an empty table
};
// 0..31 pair tables, 32 and 33 the quadruple tables A and B.
extern const HuffTable g_huffTables[34];

extern const int32_t g_pretab[22];
extern const double g_powTable[8192];
extern const double g_scaleStepTable[64];
extern const double g_isRatioTable[16];
// Middle/side stereo's scale, sqrt(1/2) at single precision.
inline constexpr double kSqrtHalf = 0.7071067690849304;
extern const double g_lsfIntensityTable[2][32];
extern const int32_t g_reorderTable[6][576];
extern const double g_aliasCs[8];
extern const double g_aliasCa[8];
extern const int32_t g_lineSubband[576]; // j / 18
extern const int32_t g_lineSlot[576];    // j % 18
extern const double g_imdctWindow[4][36];
extern const double g_synthWindow[512]; // transposed: entry 16*j + k = D[j + 32*k]

struct DctCoefficients {
    double cos64[16];
    double cos32[8];
    double cos16[4];
    double cos8[2];
    double cos4;
};
// Computed once at program start, before any decoder exists.
extern const DctCoefficients g_dctCoefficients;

} // namespace mplay
