#pragma once
// The 32-point cosine transform of the synthesis, one time slot per lane. T is double for one
// slot, or a GCC vector of doubles for as many slots side by side: every lane does the same
// operations in the same order, so a slot's values do not depend on how many go together.
#include "decode/Lanes.h"
#include "decode/Tables.h"

namespace mplay::synth {

// The four butterfly stages shared by both halves of the transform; x is transformed in place.
template <class T> MPLAY_INLINE void Butterflies16(T* x, const DctCoefficients& c) {
    T q[16];
    for (int i = 0; i < 8; ++i) {
        q[i] = x[i] + x[15 - i];
        q[8 + i] = (x[i] - x[15 - i]) * c.cos32[i];
    }
    T r[16];
    for (int o = 0; o < 16; o += 8) {
        for (int i = 0; i < 4; ++i) {
            r[o + i] = q[o + i] + q[o + 7 - i];
            r[o + 4 + i] = (q[o + i] - q[o + 7 - i]) * c.cos16[i];
        }
    }
    T s[16];
    for (int o = 0; o < 16; o += 4) {
        for (int i = 0; i < 2; ++i) {
            s[o + i] = r[o + i] + r[o + 3 - i];
            s[o + 2 + i] = (r[o + i] - r[o + 3 - i]) * c.cos8[i];
        }
    }
    for (int o = 0; o < 16; o += 2) {
        x[o] = s[o] + s[o + 1];
        x[o + 1] = (s[o] - s[o + 1]) * c.cos4;
    }
}

// x: the 32 subband samples; v: the 32 distinct values of the new V column.
template <class T> MPLAY_INLINE void Dct32(const T* x, T* v) {
    const DctCoefficients& c = g_dctCoefficients;
    // The even half is finished before the odd half starts: half as many values live at once, so
    // fewer spill from a file of 16 vector registers.
    T e[16];
    for (int i = 0; i < 16; ++i) {
        e[i] = x[i] + x[31 - i];
    }
    Butterflies16(e, c);

    v[0] = e[1];
    v[8] = e[3];
    v[23] = -e[3] - e[2];
    v[31] = -e[0];

    v[12] = e[7];
    v[4] = e[7] + e[5];
    v[19] = -v[4] - e[6];
    v[27] = -e[6] - e[7] - e[4];

    v[14] = e[15];
    v[10] = e[15] + e[11];
    v[6] = v[10] + e[13];
    v[2] = e[15] + e[13] + e[9];
    v[17] = -v[2] - e[14];

    const T g1 = -e[14] - e[15] - e[10] - e[11];
    v[21] = g1 - e[13];
    v[25] = g1 - e[12];
    v[29] = -e[14] - e[15] - e[12] - e[8];

    T u[16];
    for (int i = 0; i < 16; ++i) {
        u[i] = (x[i] - x[31 - i]) * c.cos64[i];
    }
    Butterflies16(u, c);

    v[15] = u[15];
    v[13] = u[15] + u[7];
    v[11] = v[13] + u[11];
    v[5] = v[11] + u[5] + u[13];
    v[9] = u[15] + u[11] + u[3];
    v[7] = v[9] + u[13];

    const T g2 = u[13] + u[15] + u[9];
    v[1] = g2 + u[1];
    v[16] = -v[1] - u[14];
    v[3] = g2 + u[5] + u[7];
    v[18] = -v[3] - u[6] - u[14];

    const T g3 = -u[10] - u[11] - u[14] - u[15];
    const T g4 = u[4] + u[6] + u[7];
    v[22] = g3 - u[13] - u[2] - u[3];
    v[20] = g3 - u[13] - u[5] - u[6] - u[7];
    v[24] = g3 - u[12] - u[2] - u[3];
    v[26] = g3 - u[12] - g4;

    const T g5 = -u[8] - u[12] - u[14] - u[15];
    v[30] = g5 - u[0];
    v[28] = g5 - g4;
}

// Value c of a slot's two new columns, spread from its transform v: the first half goes to the
// buffer windowed next, v[0..15], 0, -v[15..1]; the second half to the other one, -v[0],
// v[16..31], v[30..16]. Works on single slots and on lanes alike.
// (Written through a pointer: a vector returned by value would warn of its ABI.)
template <class T> MPLAY_INLINE void SpreadEntry(const T* v, int c, T* to) {
    if (c < 16) {
        *to = v[c];
    } else if (c == 16) {
        *to = T{};
    } else if (c < 32) {
        *to = -v[32 - c];
    } else if (c == 32) {
        *to = -v[0];
    } else {
        *to = c < 49 ? v[c - 17] : v[79 - c];
    }
}

template <class T> MPLAY_INLINE void SpreadColumns(const T* v, T* column) {
    for (int c = 0; c < 64; ++c) {
        SpreadEntry(v, c, column + c);
    }
}

} // namespace mplay::synth
