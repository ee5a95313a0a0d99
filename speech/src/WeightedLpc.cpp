// Weighted linear prediction (Ma, Kamp and Willems 1993, "Robust signal selection for linear
// prediction analysis of voiced speech", Speech Communication 12): the covariance method with
// each sample's squared prediction error weighted, which lets the caller leave out the samples
// the glottal excitation drives.
#include "speech/Lpc.h"

#include <algorithm>
#include <cmath>

namespace sonavix::speech {
namespace {

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

std::vector<double> WeightedLpc(std::span<const double> x, std::span<const double> weight,
                                int order) {
    const auto p = static_cast<std::size_t>(std::max(order, 1));
    std::vector<double> a(p + 1, 0.0);
    a[0] = 1.0;
    const std::size_t count = std::min(x.size(), weight.size());
    if (count <= 2 * p) {
        return a;
    }
    // c[i][j] = sum over n of w[n] x[n-i] x[n-j], i, j = 0..p; the lower triangle is enough.
    const std::size_t n = p + 1;
    std::vector<double> c(n * n, 0.0), lag(n);
    for (std::size_t t = p; t < count; ++t) {
        if (weight[t] <= 0.0) {
            continue;
        }
        for (std::size_t i = 0; i < n; ++i) {
            lag[i] = x[t - i];
        }
        for (std::size_t i = 0; i < n; ++i) {
            const double wi = weight[t] * lag[i];
            double* row = &c[i * n];
            for (std::size_t j = 0; j <= i; ++j) {
                row[j] += wi * lag[j];
            }
        }
    }
    // Minimising over a[1..p] with a[0] = 1: C[1..p][1..p] a = -C[1..p][0]. A little ridge keeps
    // a frame of near-silence solvable.
    std::vector<double> m(p * p), rhs(p), l, sol;
    for (std::size_t i = 0; i < p; ++i) {
        rhs[i] = -c[(i + 1) * n];
        for (std::size_t j = 0; j <= i; ++j) {
            m[i * p + j] = m[j * p + i] = c[(i + 1) * n + j + 1];
        }
    }
    double trace = 0.0;
    for (std::size_t i = 0; i < p; ++i) {
        trace += m[i * p + i];
    }
    for (std::size_t i = 0; i < p; ++i) {
        m[i * p + i] += 1e-9 * trace / static_cast<double>(p);
    }
    if (!(trace > 0.0) || !Cholesky(m, l, p)) {
        return a;
    }
    CholeskySolve(l, rhs, sol, p);
    for (std::size_t k = 0; k < p; ++k) {
        if (!std::isfinite(sol[k])) {
            std::fill(a.begin() + 1, a.end(), 0.0);
            return a;
        }
        a[k + 1] = sol[k];
    }
    return a;
}

} // namespace sonavix::speech
