#pragma once
// Test signals at a given rate: steady noise, and voiced "speech" (a harmonic series on a
// gliding F0 under syllable envelopes) mixed into it.
#include <cstdint>
#include <vector>

namespace sonavix::test {

class SignalBuilder {
  public:
    explicit SignalBuilder(uint32_t rate, double noiseDb = -55)
        : m_rate(rate), m_noiseDb(noiseDb) {}
    // Noise only.
    SignalBuilder& Pause(double seconds);
    // Voiced sound at about levelDb (RMS, dB of full scale) over the noise.
    SignalBuilder& Speech(double seconds, double levelDb = -20);
    // A loud click of a few samples.
    SignalBuilder& Click();
    std::vector<int16_t> Build() const;
    double Seconds() const { return static_cast<double>(m_samples.size()) / m_rate; }

  private:
    double Noise();
    void Append(double value);

    uint32_t m_rate;
    double m_noiseDb;
    uint32_t m_seed = 12345;
    std::vector<double> m_samples;
};

// A sine of the given frequency and RMS level.
std::vector<int16_t> Sine(uint32_t rate, double hz, double seconds, double levelDb);

} // namespace sonavix::test
