// Polyphase synthesis filter bank of one output channel.
//   in:  32 subband samples of one time slot (InputSample), full scale 1.0
//   out: 32 PCM values per CalculatePcmSamples, multiplied by 32767 and converted by the
//        callback (or ClipSample) into buffer[2 * position + channel]
// The 1024-value V shift register of the standard is kept as two 512-value buffers of 16 columns
// of 32 rows, written at a rotating column, so nothing moves per time slot. Each column is
// contiguous (entry 32 * column + row) and the window is regrouped to match, so that the 32
// output sums of a time slot run side by side over contiguous data and vectorise; each sum still
// adds its 16 products in the same order, so the results are those of one sum at a time.
#include "mplay/SynthesisFilter.h"

#include "mplay/FrameLoop.h"
#include "mplay/Tables.h"

#include <array>

#include <cmath>
#include <numbers>

namespace mplay {
namespace {

DctCoefficients ComputeDctCoefficients() {
    constexpr double pi = std::numbers::pi;
    DctCoefficients c{};
    for (int i = 0; i < 16; ++i) {
        c.cos64[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 64.0));
    }
    for (int i = 0; i < 8; ++i) {
        c.cos32[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 32.0));
    }
    for (int i = 0; i < 4; ++i) {
        c.cos16[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 16.0));
    }
    for (int i = 0; i < 2; ++i) {
        c.cos8[i] = 1.0 / (2.0 * std::cos((2 * i + 1) * pi / 8.0));
    }
    c.cos4 = 1.0 / (2.0 * std::cos(pi / 4.0));
    return c;
}

// The four butterfly stages shared by both halves of the 32-point cosine transform; x is
// transformed in place.
void Butterflies16(double* x, const DctCoefficients& c) {
    double q[16];
    for (int i = 0; i < 8; ++i) {
        q[i] = x[i] + x[15 - i];
        q[8 + i] = (x[i] - x[15 - i]) * c.cos32[i];
    }
    double r[16];
    for (int o = 0; o < 16; o += 8) {
        for (int i = 0; i < 4; ++i) {
            r[o + i] = q[o + i] + q[o + 7 - i];
            r[o + 4 + i] = (q[o + i] - q[o + 7 - i]) * c.cos16[i];
        }
    }
    double s[16];
    for (int o = 0; o < 16; o += 4) {
        for (int i = 0; i < 2; ++i) {
            s[o + i] = r[o + i] + r[o + 3 - i];
            s[o + 2 + i] = (r[o + i] - r[o + 3 - i]) * c.cos8[i];
        }
    }
    for (int o = 0; o < 16; o += 2) {
        x[o] = s[o] + s[o + 1];
        x[o + 1] = (s[o] - s[o + 1]) * c.cos4;
    }
}

// The window by tap: entry 32 * k + j is coefficient k of output sample j.
const std::array<double, 512> g_windowByTap = [] {
    std::array<double, 512> w{};
    for (int j = 0; j < 32; ++j) {
        for (int k = 0; k < 16; ++k) {
            w[32 * k + j] = g_synthWindow[16 * j + k];
        }
    }
    return w;
}();

// Wider vectors halve the windowing's instructions; each sum still adds its products in the
// same order and no multiply-add is fused, so every build gives the same bits. The clone is
// chosen once at load time, so the binary still runs on any x86-64. Sanitizer builds take the
// plain code: their runtimes are not ready when the loader runs the clone resolver (a crash
// under ThreadSanitizer), and so the sanitized tests cover the portable path.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) &&                             \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define MPLAY_WIDE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define MPLAY_WIDE_CLONES
#endif

// Tap k of every output sample reads column p - k of v.
// The sums build up in a local array, which the compiler keeps in registers across the taps.
MPLAY_WIDE_CLONES void WindowSums(const double* __restrict v, int p, double* __restrict sums) {
    double acc[32] = {};
    for (int k = 0; k < 16; ++k) {
        const double* column = v + 32 * ((p - k) & 15);
        const double* d = g_windowByTap.data() + 32 * k;
        for (int j = 0; j < 32; ++j) {
            acc[j] += column[j] * d[j];
        }
    }
    for (int j = 0; j < 32; ++j) {
        sums[j] = acc[j];
    }
}

// ClipSample on 32 values, written so that the compiler can do them side by side: the clamps
// are selects on doubles (a NaN fails the lower one, as there), then one truncating conversion.
MPLAY_WIDE_CLONES void ClipToPcm(const double* __restrict sums, int16_t* __restrict out) {
    int32_t pcm[32];
    for (int j = 0; j < 32; ++j) {
        double value = 32767.0 * sums[j];
        value = value > 32767.0 ? 32767.0 : value;
        value = value >= -32768.0 ? value : -32768.0;
        pcm[j] = static_cast<int32_t>(value);
    }
    for (int j = 0; j < 32; ++j) {
        out[2 * j] = static_cast<int16_t>(pcm[j]);
    }
}

} // namespace

const DctCoefficients g_dctCoefficients = ComputeDctCoefficients();

SynthesisFilter::SynthesisFilter(int32_t channel) : m_channel(channel) {
    Reset();
}

void SynthesisFilter::Reset() {
    for (int i = 0; i < 512; ++i) {
        m_v1[i] = 0.0;
        m_v2[i] = 0.0;
    }
    for (double& s : m_samples) {
        s = 0.0;
    }
    m_actualV = m_v1;
    m_writePos = 15;
    for (double& e : m_eq) {
        e = 1.0;
    }
}

void SynthesisFilter::ComputeNewV() {
    const DctCoefficients& c = g_dctCoefficients;
    const double* x = m_samples;
    double e[16];
    double u[16];
    for (int i = 0; i < 16; ++i) {
        e[i] = x[i] + x[31 - i];
        u[i] = (x[i] - x[31 - i]) * c.cos64[i];
    }
    Butterflies16(e, c);
    Butterflies16(u, c);

    double v[32];
    v[0] = e[1];
    v[8] = e[3];
    v[23] = -e[3] - e[2];
    v[31] = -e[0];

    v[12] = e[7];
    v[4] = e[7] + e[5];
    v[19] = -v[4] - e[6];
    v[27] = -e[6] - e[7] - e[4];

    v[14] = e[15];
    v[10] = e[15] + e[11];
    v[6] = v[10] + e[13];
    v[2] = e[15] + e[13] + e[9];
    v[17] = -v[2] - e[14];

    const double g1 = -e[14] - e[15] - e[10] - e[11];
    v[21] = g1 - e[13];
    v[25] = g1 - e[12];
    v[29] = -e[14] - e[15] - e[12] - e[8];

    v[15] = u[15];
    v[13] = u[15] + u[7];
    v[11] = v[13] + u[11];
    v[5] = v[11] + u[5] + u[13];
    v[9] = u[15] + u[11] + u[3];
    v[7] = v[9] + u[13];

    const double g2 = u[13] + u[15] + u[9];
    v[1] = g2 + u[1];
    v[16] = -v[1] - u[14];
    v[3] = g2 + u[5] + u[7];
    v[18] = -v[3] - u[6] - u[14];

    const double g3 = -u[10] - u[11] - u[14] - u[15];
    const double g4 = u[4] + u[6] + u[7];
    v[22] = g3 - u[13] - u[2] - u[3];
    v[20] = g3 - u[13] - u[5] - u[6] - u[7];
    v[24] = g3 - u[12] - u[2] - u[3];
    v[26] = g3 - u[12] - g4;

    const double g5 = -u[8] - u[12] - u[14] - u[15];
    v[30] = g5 - u[0];
    v[28] = g5 - g4;

    // The first half of the new V values goes into the buffer windowed next, the second half into
    // the other one, both at the current column.
    double* a = m_actualV + 32 * m_writePos;
    double* b = ((m_actualV == m_v1) ? m_v2 : m_v1) + 32 * m_writePos;
    for (int i = 0; i < 16; ++i) {
        a[i] = v[i];
    }
    a[16] = 0.0;
    for (int i = 1; i < 16; ++i) {
        a[16 + i] = -v[16 - i];
    }
    b[0] = -v[0];
    for (int i = 1; i <= 16; ++i) {
        b[i] = v[15 + i];
    }
    for (int i = 1; i < 16; ++i) {
        b[16 + i] = v[31 - i];
    }
}

int32_t SynthesisFilter::CalculatePcmSamples(int16_t* buffer, int32_t& written, int32_t& position,
                                             PcmCallback callback) {
    const double* a = m_actualV;
    const int p = m_writePos;
    ComputeNewV();
    double sums[32];
    WindowSums(a, p, sums);
    if (buffer) {
        int16_t* out = buffer + 2 * position + m_channel;
        // The player's own converter is the clip below; calling it through the pointer per
        // value would cost more than the conversion itself.
        if (callback == nullptr || callback == SampleToPcm) {
            ClipToPcm(sums, out);
        } else {
            for (int j = 0; j < 32; ++j) {
                double value = 32767.0 * sums[j];
                out[2 * j] = static_cast<int16_t>(callback(&value, nullptr, m_channel));
            }
        }
    }
    position += 32;
    written += 32;
    m_writePos = (p + 1) & 15;
    m_actualV = (m_actualV == m_v1) ? m_v2 : m_v1;
    return 1;
}

int16_t SynthesisFilter::ClipSample(double value) {
    if (value > 32767.0) {
        return 32767;
    }
    // Also catches NaN, which has no integer value.
    if (!(value >= -32768.0)) {
        return -32768;
    }
    return static_cast<int16_t>(value);
}

} // namespace mplay
