// Discrete all-pole modelling after El-Jaroudi and Makhoul (1991), "Discrete all-pole modeling",
// IEEE Trans. Signal Processing 39(2): with R the autocorrelation of the given spectral samples
// and h the model's impulse response sampled at the same frequencies, the optimum satisfies
// R a = h(-i); it is found by the paper's fixed-point iteration from the ordinary LPC solution.
#include "speech/Lpc.h"

#include <cmath>
#include <complex>

namespace sonavix::speech {
namespace {

constexpr int kIterations = 40;

// Solves the symmetric system m x = b (n x n, row-major) by Gaussian elimination with partial
// pivoting; false when singular.
bool Solve(std::vector<double> m, std::vector<double> b, std::vector<double>& x, std::size_t n) {
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t piv = c;
        for (std::size_t r = c + 1; r < n; ++r) {
            if (std::fabs(m[r * n + c]) > std::fabs(m[piv * n + c])) {
                piv = r;
            }
        }
        if (!(std::fabs(m[piv * n + c]) > 1e-300)) {
            return false;
        }
        if (piv != c) {
            for (std::size_t k = 0; k < n; ++k) {
                std::swap(m[c * n + k], m[piv * n + k]);
            }
            std::swap(b[c], b[piv]);
        }
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = m[r * n + c] / m[c * n + c];
            for (std::size_t k = c; k < n; ++k) {
                m[r * n + k] -= f * m[c * n + k];
            }
            b[r] -= f * b[c];
        }
    }
    x.assign(n, 0.0);
    for (std::size_t c = n; c-- > 0;) {
        double s = b[c];
        for (std::size_t k = c + 1; k < n; ++k) {
            s -= m[c * n + k] * x[k];
        }
        x[c] = s / m[c * n + c];
    }
    return true;
}

} // namespace

std::vector<double> DiscreteAllPole(std::span<const double> w, std::span<const double> power,
                                    int order) {
    const auto p = static_cast<std::size_t>(std::max(order, 1));
    std::vector<double> unit(p + 1, 0.0);
    unit[0] = 1.0;
    const std::size_t count = std::min(w.size(), power.size());
    if (count * 2 < p + 1) {
        return unit; // fewer samples than unknowns
    }
    const std::size_t n = p + 1;
    std::vector<double> r(n, 0.0);
    for (std::size_t m = 0; m < count; ++m) {
        for (std::size_t i = 0; i < n; ++i) {
            r[i] += power[m] * std::cos(static_cast<double>(i) * w[m]);
        }
    }
    for (double& v : r) {
        v /= static_cast<double>(count);
    }
    // e^{-j k w_m}, used in every iteration.
    std::vector<std::complex<double>> phasor(count * n);
    for (std::size_t m = 0; m < count; ++m) {
        for (std::size_t k = 0; k < n; ++k) {
            phasor[m * n + k] = std::polar(1.0, -static_cast<double>(k) * w[m]);
        }
    }
    std::vector<double> toeplitz(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < n; ++k) {
            toeplitz[i * n + k] = r[i > k ? i - k : k - i];
        }
    }
    // Ordinary LPC (R a = e0), scaled so that the model 1/|A|^2 carries the gain.
    std::vector<double> rhs(n, 0.0), a;
    rhs[0] = 1.0;
    if (!Solve(toeplitz, rhs, a, n) || !(a[0] > 0)) {
        return unit;
    }
    for (double& v : a) {
        v /= std::sqrt(a[0]);
    }
    auto distance = [&](const std::vector<double>& c) {
        double d = 0.0;
        for (std::size_t m = 0; m < count; ++m) {
            std::complex<double> A = 0.0;
            for (std::size_t k = 0; k < n; ++k) {
                A += c[k] * phasor[m * n + k];
            }
            const double ratio = power[m] * std::norm(A);
            d += ratio - std::log(ratio) - 1.0;
        }
        return d;
    };
    std::vector<double> best = a;
    double bestDistance = distance(a);
    std::vector<double> h(n), next;
    for (int iter = 0; iter < kIterations; ++iter) {
        std::fill(h.begin(), h.end(), 0.0);
        for (std::size_t m = 0; m < count; ++m) {
            std::complex<double> A = 0.0;
            for (std::size_t k = 0; k < n; ++k) {
                A += a[k] * phasor[m * n + k];
            }
            const std::complex<double> inv = 1.0 / A;
            for (std::size_t i = 0; i < n; ++i) {
                h[i] += (phasor[m * n + i] * inv).real();
            }
        }
        for (double& v : h) {
            v /= static_cast<double>(count);
        }
        if (!Solve(toeplitz, h, next, n) || !(next[0] > 0)) {
            break;
        }
        // Half steps: the plain fixed point can oscillate.
        for (std::size_t k = 0; k < n; ++k) {
            a[k] = 0.5 * (a[k] + next[k]);
        }
        const double d = distance(a);
        if (!(d < bestDistance)) {
            if (d > 1.5 * bestDistance) {
                break;
            }
            continue;
        }
        bestDistance = d;
        best = a;
    }
    for (std::size_t k = 1; k < n; ++k) {
        best[k] /= best[0];
    }
    best[0] = 1.0;
    return best;
}

} // namespace sonavix::speech
