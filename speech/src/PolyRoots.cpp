// Polynomial roots by Laguerre's method with deflation, each root then polished against the
// undeflated polynomial (the scheme of Press et al., Numerical Recipes, 2nd ed., section 9.5).
// Laguerre converges from any start for polynomials with real coefficients in practice, and the
// prediction polynomials here have degree 10 to 12.
#include "speech/Lpc.h"

#include <cmath>

namespace sonavix::speech {
namespace {

using Complex = std::complex<double>;

// |z| without hypot's care for overflow, which these magnitudes never approach.
double Abs(Complex z) {
    return std::sqrt(std::norm(z));
}

// Coefficients highest power first.
Complex Laguerre(const std::vector<Complex>& c, Complex x) {
    const int n = static_cast<int>(c.size()) - 1;
    constexpr int kMaxIterations = 80;
    // Fractional steps break the rare limit cycles.
    static const double kFrac[] = {0.5, 0.25, 0.75, 0.13, 0.38, 0.62, 0.88, 1.0};
    for (int iter = 1; iter <= kMaxIterations; ++iter) {
        Complex p = c[0], d = 0.0, dd = 0.0;
        double err = Abs(p);
        const double ax = Abs(x);
        for (int i = 1; i <= n; ++i) {
            dd = dd * x + d;
            d = d * x + p;
            p = p * x + c[static_cast<std::size_t>(i)];
            err = Abs(p) + err * ax;
        }
        if (Abs(p) <= 1e-15 * err) {
            return x;
        }
        const Complex g = d / p;
        const Complex h = g * g - 2.0 * dd / p;
        const Complex sq =
            std::sqrt(static_cast<double>(n - 1) * (static_cast<double>(n) * h - g * g));
        Complex gp = g + sq, gm = g - sq;
        const double abp = Abs(gp), abm = Abs(gm);
        if (abp < abm) {
            gp = gm;
        }
        const Complex step = std::max(abp, abm) > 0
                                 ? static_cast<double>(n) / gp
                                 : std::polar(1.0 + ax, static_cast<double>(iter));
        const Complex next = x - step;
        if (next == x) {
            return x;
        }
        x = (iter % 10 != 0) ? next : x - kFrac[(iter / 10) % 8] * step;
    }
    return x;
}

} // namespace

std::vector<std::complex<double>> PolynomialRoots(std::span<const double> coeffs) {
    std::vector<Complex> roots;
    if (coeffs.size() < 2 || coeffs[0] == 0.0) {
        return roots;
    }
    const std::vector<Complex> full(coeffs.begin(), coeffs.end());
    std::vector<Complex> work = full;
    const std::size_t degree = coeffs.size() - 1;
    for (std::size_t j = degree; j >= 1; --j) {
        Complex x = Laguerre(work, Complex(0.0, 0.0));
        if (std::fabs(x.imag()) <= 1e-12 * std::fabs(x.real())) {
            x = Complex(x.real(), 0.0);
        }
        roots.push_back(x);
        // Synthetic division by (z - x).
        Complex carry = work[0];
        std::vector<Complex> reduced(j);
        reduced[0] = carry;
        for (std::size_t i = 1; i < j; ++i) {
            carry = work[i] + carry * x;
            reduced[i] = carry;
        }
        work = std::move(reduced);
    }
    for (Complex& r : roots) {
        r = Laguerre(full, r);
    }
    return roots;
}

} // namespace sonavix::speech
