// FFTW3 plans for one size, with their own aligned buffers so that the caller's arrays need no
// alignment. FFTW's planner is not thread-safe; only the planning is serialised.
#include "speech/Fft.h"

#include <cstring>
#include <fftw3.h>
#include <map>
#include <memory>
#include <mutex>

namespace sonavix::speech {
namespace {

std::mutex& PlannerMutex() {
    static std::mutex m;
    return m;
}

} // namespace

RealFft& ThreadFft(std::size_t size) {
    thread_local std::map<std::size_t, std::unique_ptr<RealFft>> cache;
    auto& slot = cache[size];
    if (!slot) {
        slot = std::make_unique<RealFft>(size);
    }
    return *slot;
}

std::size_t NextPowerOfTwo(std::size_t n) {
    std::size_t p = 1;
    while (p < n) {
        p <<= 1;
    }
    return p;
}

RealFft::RealFft(std::size_t size) : m_size(size < 2 ? 2 : size) {
    std::lock_guard<std::mutex> lock(PlannerMutex());
    m_real = fftw_alloc_real(m_size);
    auto* complex = fftw_alloc_complex(m_size / 2 + 1);
    m_complex = complex;
    const int n = static_cast<int>(m_size);
    m_forward = fftw_plan_dft_r2c_1d(n, m_real, complex, FFTW_ESTIMATE);
    m_inverse = fftw_plan_dft_c2r_1d(n, complex, m_real, FFTW_ESTIMATE);
}

RealFft::~RealFft() {
    std::lock_guard<std::mutex> lock(PlannerMutex());
    fftw_destroy_plan(static_cast<fftw_plan>(m_forward));
    fftw_destroy_plan(static_cast<fftw_plan>(m_inverse));
    fftw_free(m_complex);
    fftw_free(m_real);
}

void RealFft::Forward(const double* in, std::complex<double>* out) {
    std::memcpy(m_real, in, m_size * sizeof(double));
    fftw_execute(static_cast<fftw_plan>(m_forward));
    std::memcpy(static_cast<void*>(out), m_complex, (m_size / 2 + 1) * sizeof(fftw_complex));
}

void RealFft::Inverse(const std::complex<double>* in, double* out) {
    std::memcpy(m_complex, static_cast<const void*>(in), (m_size / 2 + 1) * sizeof(fftw_complex));
    fftw_execute(static_cast<fftw_plan>(m_inverse)); // c2r destroys its input; it is our copy
    const double scale = 1.0 / static_cast<double>(m_size);
    for (std::size_t i = 0; i < m_size; ++i) {
        out[i] = m_real[i] * scale;
    }
}

void RealFft::PowerSpectrum(const double* in, double* power) {
    std::memcpy(m_real, in, m_size * sizeof(double));
    fftw_execute(static_cast<fftw_plan>(m_forward));
    const auto* c = static_cast<const fftw_complex*>(m_complex);
    for (std::size_t k = 0; k <= m_size / 2; ++k) {
        power[k] = c[k][0] * c[k][0] + c[k][1] * c[k][1];
    }
}

} // namespace sonavix::speech
