#pragma once
// Constants of the factorised IMDCT, shared by the one-subband transform and the one that runs
// several subbands side by side, so that both multiply by the same values.

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

} // namespace mplay::imdct
