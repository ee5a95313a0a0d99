// Burg's maximum-entropy method (Burg 1975, "Maximum entropy spectral analysis", thesis,
// Stanford), in the lattice form given by Kay and Marple (1981), Proc. IEEE 69: each stage picks
// the reflection coefficient that minimises the sum of forward and backward prediction errors.
#include "speech/Lpc.h"

namespace sonavix::speech {

std::vector<double> BurgLpc(std::span<const double> x, int order) {
    std::vector<double> a(static_cast<std::size_t>(order) + 1, 0.0);
    a[0] = 1.0;
    const std::size_t n = x.size();
    if (order < 1 || n <= static_cast<std::size_t>(order)) {
        return a;
    }
    std::vector<double> f(x.begin(), x.end());
    std::vector<double> b(x.begin(), x.end());
    std::vector<double> prev(a.size());
    for (int m = 1; m <= order; ++m) {
        double num = 0.0, den = 0.0;
        for (std::size_t i = static_cast<std::size_t>(m); i < n; ++i) {
            num += f[i] * b[i - 1];
            den += f[i] * f[i] + b[i - 1] * b[i - 1];
        }
        if (den <= 0.0) {
            break; // the signal is fully predicted (or silent): higher stages add nothing
        }
        const double k = -2.0 * num / den;
        prev = a;
        for (int i = 1; i <= m; ++i) {
            a[static_cast<std::size_t>(i)] =
                prev[static_cast<std::size_t>(i)] + k * prev[static_cast<std::size_t>(m - i)];
        }
        for (std::size_t i = n - 1; i >= static_cast<std::size_t>(m); --i) {
            const double fi = f[i];
            f[i] = fi + k * b[i - 1];
            b[i] = b[i - 1] + k * fi;
        }
    }
    return a;
}

} // namespace sonavix::speech
