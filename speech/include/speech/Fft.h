#pragma once
#include <complex>
#include <cstddef>
#include <vector>

namespace sonavix::speech {

// A real-input discrete Fourier transform of one fixed size, over FFTW. Forward takes size()
// reals and gives size()/2 + 1 complex bins (unnormalised); Inverse is the reverse and scales by
// 1/size(). Objects are not shared between threads; creating them is safe from any thread.
class RealFft {
  public:
    explicit RealFft(std::size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    std::size_t size() const { return m_size; }
    void Forward(const double* in, std::complex<double>* out);
    void Inverse(const std::complex<double>* in, double* out);
    // |X(k)|^2 for k = 0..size()/2 of in (size() values).
    void PowerSpectrum(const double* in, double* power);

  private:
    std::size_t m_size;
    double* m_real;
    void* m_complex;
    void* m_forward;
    void* m_inverse;
};

// A transform of this size kept for the calling thread's lifetime: planning costs more than a
// frame's transform, and every recording is analysed with the same few sizes.
RealFft& ThreadFft(std::size_t size);

// The smallest power of two not below n (at least 1).
std::size_t NextPowerOfTwo(std::size_t n);

} // namespace sonavix::speech
