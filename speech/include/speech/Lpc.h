#pragma once
#include <complex>
#include <span>
#include <vector>

namespace sonavix::speech {

// Prediction coefficients a[0..order] with a[0] = 1 of the all-pole model 1 / A(z),
// A(z) = sum a[k] z^-k, by Burg's method. Fewer samples than order + 1 give all zeros but a[0].
std::vector<double> BurgLpc(std::span<const double> x, int order);

// The roots of the polynomial c[0] z^n + c[1] z^(n-1) + ... + c[n] (c[0] != 0).
std::vector<std::complex<double>> PolynomialRoots(std::span<const double> c);

// Discrete all-pole model (El-Jaroudi and Makhoul 1991): the prediction polynomial (a[0] = 1)
// fitted to spectral samples only, here a voice's harmonics, by minimising the Itakura-Saito
// distance at those frequencies. frequencies are in radians per sample, in (0, pi); powers > 0.
// Where ordinary LPC bends the model towards the gaps between harmonics, this one ignores them.
std::vector<double> DiscreteAllPole(std::span<const double> frequencies,
                                    std::span<const double> powers, int order);

} // namespace sonavix::speech
