#pragma once
// The factorised IMDCT, written once for any value type with double arithmetic: double itself
// (Imdct, one subband) or a vector of doubles (HybridLanes, one subband to a lane). Every lane
// does the same operations in the same order, so each subband gets the same bits at any width.
// The constants are single-precision values.

#include "decode/Lanes.h"

namespace mplay::imdct {

// 2cos(pi/9), 2cos(2pi/9), 2cos(4pi/9); 2cos(pi/18), 2cos(5pi/18), 2cos(7pi/18); sqrt(3).
inline constexpr double c1 = 1.8793852, c2 = 1.5320889, c3 = 0.34729636;
inline constexpr double d1 = 1.9696155, d2 = 1.2855753, d3 = 0.6840403;
inline constexpr double r3 = 1.7320508;
// 1/(2cos((2k+1)pi/36))
inline constexpr double kTwiddle[9] = {0.5019099, 0.5176381, 0.55168897, 0.61038727, 0.70710677,
                                       0.8717234, 1.1831008, 1.9318516,  5.7368565};
// Short transform: cos(pi/6), 1/(2cos((2k+1)pi/24)), the short window sin((2k+1)pi/24).
inline constexpr double h = 0.8660254;
inline constexpr double kShortTwiddle[6] = {0.5043145, 0.5411961, 0.6302362,
                                            0.8213398, 1.306563,  3.830649};
inline constexpr double kShortWindow[6] = {0.13052619, 0.38268343, 0.6087614,
                                           0.7933533,  0.9238795,  0.9914449};
// The short transform's output factors of its three odd terms.
inline constexpr double kShortOdd[3] = {1.9318516, 0.70710677, 0.5176381};

// Nine-point transform of x[0], x[2], ..., x[16]: t[0..4], then u[0..3].
template <class V> MPLAY_INLINE void NinePoint(const V* x, V* t, V* u) {
    const V x0 = x[0], x2 = x[2], x4 = x[4], x6 = x[6], x8 = x[8];
    const V x10 = x[10], x12 = x[12], x14 = x[14], x16 = x[16];
    t[0] = 2.0 * x0 + x12 + c1 * x4 + c2 * x8 + c3 * x16;
    t[1] = 2.0 * x0 + x4 - x8 - 2.0 * x12 - x16;
    t[2] = 2.0 * x0 + x12 - c3 * x4 - c1 * x8 + c2 * x16;
    t[3] = 2.0 * x0 + x12 - c2 * x4 + c3 * x8 - c1 * x16;
    t[4] = x0 - x4 + x8 - x12 + x16;
    u[0] = d1 * x2 + r3 * x6 + d2 * x10 + d3 * x14;
    u[1] = r3 * (x2 - x10 - x14);
    u[2] = d2 * x2 - r3 * x6 - d3 * x10 + d1 * x14;
    u[3] = d3 * x2 - r3 * x6 + d1 * x10 - d2 * x14;
}

// The 36-point transform of x (18 lines, used as scratch) before windowing: f[18], from which
// LongWindowed spreads the 36 outputs.
template <class V> MPLAY_INLINE void LongTransform(V* x, V* f) {
    for (int i = 17; i >= 1; --i) {
        x[i] += x[i - 1];
    }
    for (int i = 17; i >= 3; i -= 2) {
        x[i] += x[i - 2];
    }
    V et[5], eu[4], ot[5], ou[4];
    NinePoint(x, et, eu);
    NinePoint(x + 1, ot, ou);
    ot[4] *= kTwiddle[4];

    for (int k = 0; k < 4; ++k) {
        const V ev = et[k] + eu[k];
        const V od = (ot[k] + ou[k]) * kTwiddle[k];
        f[k] = ev + od;
        f[17 - k] = ev - od;
    }
    f[4] = et[4] + ot[4];
    f[13] = et[4] - ot[4];
    for (int k = 5; k < 9; ++k) {
        const int p = 8 - k;
        const V ev = et[p] - eu[p];
        const V od = (ot[p] - ou[p]) * kTwiddle[k];
        f[k] = ev + od;
        f[17 - k] = ev - od;
    }
}

// Windowed output i (0..35) of the long transform f. (Written through a pointer: a vector
// returned by value would warn of its ABI.)
template <class V> MPLAY_INLINE void LongWindowed(const V* f, const double* window, int i, V* to) {
    if (i < 9) {
        *to = -f[9 + i] * window[i];
    } else if (i < 27) {
        *to = f[26 - i] * window[i];
    } else {
        *to = f[i - 27] * window[i];
    }
}

// The 36-point transform of x (18 lines, used as scratch) into 36 windowed values.
template <class V> MPLAY_INLINE void LongImdct(V* x, V* out, const double* window) {
    V f[18];
    LongTransform(x, f);
    for (int i = 0; i < 36; ++i) {
        LongWindowed(f, window, i, out + i);
    }
}

// Three 12-point transforms, each window's twelve values added into a cleared output, window by
// window (0.0 + z, not z, so that a -0.0 comes out as the sum gives it).
template <class V> MPLAY_INLINE void ShortImdct(const V* x, V* out) {
    V z[3][12];
    for (int j = 0; j < 3; ++j) {
        V y[6];
        for (int k = 0; k < 6; ++k) {
            y[k] = x[3 * k + j];
        }
        y[5] += y[4];
        y[4] += y[3];
        y[3] += y[2];
        y[2] += y[1];
        y[1] += y[0];
        y[5] += y[3];
        y[3] += y[1];

        V a[6];
        const V s = y[0] + 0.5 * y[4];
        a[1] = y[0] - y[4];
        a[0] = s + h * y[2];
        a[2] = s - h * y[2];
        const V s2 = y[1] + 0.5 * y[5];
        a[4] = y[1] - y[5];
        a[5] = s2 + h * y[3];
        a[3] = s2 - h * y[3];

        a[3] *= kShortOdd[0];
        a[4] *= kShortOdd[1];
        a[5] *= kShortOdd[2];

        for (int k = 0; k < 3; ++k) {
            const V lo = a[k];
            const V hi = a[5 - k];
            a[k] = lo + hi;
            a[5 - k] = lo - hi;
        }
        for (int k = 0; k < 6; ++k) {
            a[k] *= kShortTwiddle[k];
        }

        const double* w = kShortWindow;
        const V windowed[12] = {a[3] * w[0],  a[4] * w[1],  a[5] * w[2],  -a[5] * w[3],
                                -a[4] * w[4], -a[3] * w[5], -a[2] * w[5], -a[1] * w[4],
                                -a[0] * w[3], -a[0] * w[2], -a[1] * w[1], -a[2] * w[0]};
        for (int k = 0; k < 12; ++k) {
            z[j][k] = windowed[k];
        }
    }
    const V zero = {};
    for (int k = 0; k < 6; ++k) {
        out[k] = zero;
        out[6 + k] = zero + z[0][k];
        out[12 + k] = zero + z[0][6 + k] + z[1][k];
        out[18 + k] = zero + z[1][6 + k] + z[2][k];
        out[24 + k] = zero + z[2][6 + k];
        out[30 + k] = zero;
    }
}

} // namespace mplay::imdct
