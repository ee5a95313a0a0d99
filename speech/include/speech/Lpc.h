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

// Prediction coefficients (a[0] = 1) minimising sum over n >= order of weight[n] e[n]^2, e the
// prediction error of x (the covariance method, weighted). All zeros but a[0] where the weights
// leave too little to solve.
std::vector<double> WeightedLpc(std::span<const double> x, std::span<const double> weight,
                                int order);

} // namespace sonavix::speech
