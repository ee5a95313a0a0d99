// Discrete all-pole modelling after El-Jaroudi and Makhoul (1991), "Discrete all-pole modeling",
// IEEE Trans. Signal Processing 39(2): with R the autocorrelation of the given spectral samples
// and h the model's impulse response sampled at the same frequencies, the optimum satisfies
// R a = h(-i); it is found by the paper's fixed-point iteration from the ordinary LPC solution.
#include "speech/Lpc.h"

#include <cmath>
#include <complex>
#include <limits>

namespace sonavix::speech {
namespace {

constexpr int kIterations = 40;
constexpr double kSettled = 1e-4; // relative gain in distance below which iterating stops

// Cholesky factor (lower, row-major n x n) of the positive definite matrix m; false if it is not.
bool Cholesky(const std::vector<double>& m, std::vector<double>& l, std::size_t n) {
    l.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            double s = m[i * n + j];
            for (std::size_t k = 0; k < j; ++k) {
                s -= l[i * n + k] * l[j * n + k];
            }
            if (i == j) {
                if (!(s > 0.0)) {
                    return false;
                }
                l[i * n + i] = std::sqrt(s);
            } else {
                l[i * n + j] = s / l[j * n + j];
            }
        }
    }
    return true;
}

// x = (L L^T)^-1 b.
void CholeskySolve(const std::vector<double>& l, const std::vector<double>& b,
                   std::vector<double>& x, std::size_t n) {
    x = b;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k) {
            x[i] -= l[i * n + k] * x[k];
        }
        x[i] /= l[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t k = i + 1; k < n; ++k) {
            x[i] -= l[k * n + i] * x[k];
        }
        x[i] /= l[i * n + i];
    }
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
    // R is the same in every iteration: factor it once.
    std::vector<double> chol;
    if (!Cholesky(toeplitz, chol, n)) {
        return unit;
    }
    std::vector<double> rhs(n, 0.0), a;
    rhs[0] = 1.0;
    CholeskySolve(chol, rhs, a, n);
    if (!(a[0] > 0)) {
        return unit;
    }
    for (double& v : a) {
        v /= std::sqrt(a[0]);
    }
    // Each pass evaluates the model at the samples once: for the Itakura-Saito distance of the
    // current coefficients and for the impulse response that gives the next ones.
    double logPower = 0.0;
    for (std::size_t m = 0; m < count; ++m) {
        logPower += std::log(power[m]);
    }
    std::vector<double> best = a;
    double bestDistance = std::numeric_limits<double>::infinity();
    std::vector<double> h(n), next;
    for (int iter = 0; iter <= kIterations; ++iter) {
        std::fill(h.begin(), h.end(), 0.0);
        double ratioSum = 0.0, logSum = 0.0, normProduct = 1.0;
        for (std::size_t m = 0; m < count; ++m) {
            const std::complex<double>* e = &phasor[m * n];
            std::complex<double> A = 0.0;
            for (std::size_t k = 0; k < n; ++k) {
                A += a[k] * e[k];
            }
            const double norm = std::norm(A);
            ratioSum += power[m] * norm;
            // Logarithms are costly here: take one per few samples of the product.
            normProduct *= norm;
            if (m % 8 == 7) {
                logSum += std::log(normProduct);
                normProduct = 1.0;
            }
            const std::complex<double> inv = std::conj(A) / norm;
            for (std::size_t i = 0; i < n; ++i) {
                h[i] += e[i].real() * inv.real() - e[i].imag() * inv.imag();
            }
        }
        const double d =
            ratioSum - logPower - (logSum + std::log(normProduct)) - static_cast<double>(count);
        if (!(d < bestDistance)) {
            if (d > 1.5 * bestDistance || iter == kIterations) {
                break;
            }
        } else {
            const bool settled = bestDistance - d < kSettled * d;
            bestDistance = d;
            best = a;
            if (settled || iter == kIterations) {
                break;
            }
        }
        for (double& v : h) {
            v /= static_cast<double>(count);
        }
        CholeskySolve(chol, h, next, n);
        if (!(next[0] > 0)) {
            break;
        }
        // Half steps: the plain fixed point can oscillate.
        for (std::size_t k = 0; k < n; ++k) {
            a[k] = 0.5 * (a[k] + next[k]);
        }
    }
    for (std::size_t k = 1; k < n; ++k) {
        best[k] /= best[0];
    }
    best[0] = 1.0;
    return best;
}

} // namespace sonavix::speech
