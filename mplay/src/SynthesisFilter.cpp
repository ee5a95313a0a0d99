// Polyphase synthesis filter bank of one output channel.
//   in:  32 subband samples of one time slot (InputSample), full scale 1.0, or the 18 slots of
//        a granule at once (SynthesiseGranule)
//   out: 32 PCM values per CalculatePcmSamples, multiplied by 32767 and converted by the
//        callback (or ClipSample) into buffer[2 * position + channel]; 576 such values per
//        granule, before conversion
// The 1024-value V shift register of the standard is kept as two 512-value buffers of 16 columns
// of 32 rows, written at a rotating column, so nothing moves per time slot. Each column is
// contiguous (entry 32 * column + row) and the window is regrouped to match, so that the 32
// output sums of a time slot run side by side over contiguous data and vectorise; each sum still
// adds its 16 products in the same order, so the results are those of one sum at a time.
#include "mplay/SynthesisFilter.h"

#include "SynthesisDct.h"
#include "mplay/FrameLoop.h"
#include "mplay/Tables.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
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

// Wider vectors cut the instructions; each sum still adds its products in the same order and no
// multiply-add is fused, so every build gives the same bits. The clone is chosen once at load
// time, so the binary still runs on any x86-64. Sanitizer builds take the plain code: their
// runtimes are not ready when the loader runs the clone resolver (a crash under
// ThreadSanitizer), and so the sanitized tests cover the portable path.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) &&                             \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define MPLAY_CLONING 1
#define MPLAY_WIDE_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define MPLAY_WIDE_CLONES
#endif

// Slot lanes: as many as the widest vectors of the target hold.
typedef double Lanes8 __attribute__((vector_size(64)));
typedef double Lanes4 __attribute__((vector_size(32)));
typedef double Lanes2 __attribute__((vector_size(16)));

// Stores one slot's two new columns (column: 32 values for a, then 32 for b) as column p of both
// buffers, and windows buffer a into out (times 32767). Tap k of every output sample reads column
// p - k of a; tap 0 reads the new column where it came from, so it need not wait for the stores
// just made. Each sum adds its 16 products in tap order.
MPLAY_WIDE_CLONES void StoreAndWindow(const double* __restrict column, double* __restrict a,
                                      double* __restrict b, int p, double* __restrict out) {
    double* newA = a + 32 * p;
    double* newB = b + 32 * p;
    for (int j = 0; j < 32; ++j) {
        newA[j] = column[j];
        newB[j] = column[32 + j];
    }
    // Kept in registers across the taps.
    double acc[32] = {};
    for (int k = 0; k < 16; ++k) {
        const double* old = k == 0 ? column : a + 32 * ((p - k) & 15);
        const double* d = g_windowByTap.data() + 32 * k;
        for (int j = 0; j < 32; ++j) {
            acc[j] += old[j] * d[j];
        }
    }
    for (int j = 0; j < 32; ++j) {
        out[j] = 32767.0 * acc[j];
    }
}

// A slot's transform v spread into its two new columns: the first half of the V values goes to
// the buffer windowed next, v[0..15], 0, -v[15..1]; the second half to the other one, -v[0],
// v[16..31], v[30..16]. Works on single slots and on lanes alike.
template <class T> MPLAY_INLINE void SpreadColumns(const T* v, const T& zero, T* column) {
    for (int i = 0; i < 16; ++i) {
        column[i] = v[i];
    }
    column[16] = zero;
    for (int i = 1; i < 16; ++i) {
        column[16 + i] = -v[16 - i];
    }
    T* b = column + 32;
    b[0] = -v[0];
    for (int i = 1; i <= 16; ++i) {
        b[i] = v[15 + i];
    }
    for (int i = 1; i < 16; ++i) {
        b[16 + i] = v[31 - i];
    }
}

// The transform of the lanes' slots from first on; work holds a granule by subband (entry
// 18 * subband + slot), columns gets 64 values per slot (entry 64 * slot + i).
template <class T>
MPLAY_INLINE void TransformSlots(const double* work, const double* eq, int first, double* columns) {
    constexpr int kLanes = sizeof(T) / sizeof(double);
    T x[32];
    for (int sb = 0; sb < 32; ++sb) {
        T s;
        std::memcpy(&s, work + SynthesisFilter::kGranuleSlots * sb + first, sizeof s);
        x[sb] = s * eq[sb];
    }
    T v[32];
    synth::Dct32(x, v);
    T spread[64];
    SpreadColumns(v, T{}, spread);
    for (int i = 0; i < 64; ++i) {
        for (int l = 0; l < kLanes; ++l) {
            columns[64 * (first + l) + i] = spread[i][l];
        }
    }
}

// Lanes of T as far as they go, then pairs: 18 is 2 modulo 4 and 8.
template <class T>
MPLAY_INLINE void TransformAll(const double* work, const double* eq, double* columns) {
    constexpr int kLanes = sizeof(T) / sizeof(double);
    int first = 0;
    for (; first + kLanes <= SynthesisFilter::kGranuleSlots; first += kLanes) {
        TransformSlots<T>(work, eq, first, columns);
    }
    for (; first < SynthesisFilter::kGranuleSlots; first += 2) {
        TransformSlots<Lanes2>(work, eq, first, columns);
    }
}

// One version per vector width, chosen at load time like the clones above: the lane type must
// match the registers, which a clone of one body cannot say.
#if defined(MPLAY_CLONING)
__attribute__((target("avx512f"))) void TransformGranule(const double* work, const double* eq,
                                                         double* columns) {
    TransformAll<Lanes8>(work, eq, columns);
}
__attribute__((target("avx2"))) void TransformGranule(const double* work, const double* eq,
                                                      double* columns) {
    TransformAll<Lanes4>(work, eq, columns);
}
__attribute__((target("default")))
#endif
void TransformGranule(const double* work, const double* eq, double* columns) {
    TransformAll<Lanes2>(work, eq, columns);
}

// ClipSample, written so that the compiler can do many side by side: the clamps are selects on
// doubles (a NaN fails the lower one, as there), then one truncating conversion.
inline int32_t Clip(double value) {
    value = value > 32767.0 ? 32767.0 : value;
    value = value >= -32768.0 ? value : -32768.0;
    return static_cast<int32_t>(value);
}

MPLAY_WIDE_CLONES void ClipToPcm(const double* __restrict values, int16_t* __restrict out) {
    int32_t pcm[32];
    for (int j = 0; j < 32; ++j) {
        pcm[j] = Clip(values[j]);
    }
    for (int j = 0; j < 32; ++j) {
        out[2 * j] = static_cast<int16_t>(pcm[j]);
    }
}

typedef int32_t Ints8 __attribute__((vector_size(32)));
typedef uint32_t Words8 __attribute__((vector_size(32)));
typedef int32_t Ints4 __attribute__((vector_size(16)));
typedef uint32_t Words4 __attribute__((vector_size(16)));
typedef int32_t Ints2 __attribute__((vector_size(8)));
typedef uint32_t Words2 __attribute__((vector_size(8)));

// One pair of 16-bit values as the 32-bit word that holds them in memory.
inline uint32_t Pair(int32_t left, int32_t right) {
    const auto l = static_cast<uint16_t>(left);
    const auto r = static_cast<uint16_t>(right);
    if constexpr (std::endian::native == std::endian::little) {
        return l | static_cast<uint32_t>(r) << 16;
    } else {
        return r | static_cast<uint32_t>(l) << 16;
    }
}

// Both channels at once, each pair stored as one 32-bit word; lanes of T as far as they go.
// Clip's selects and conversion, lane by lane.
template <class T, class Ints, class Words>
MPLAY_INLINE void ClipPairsWith(const double* left, const double* right, int32_t count,
                                int16_t* out) {
    constexpr int kLanes = sizeof(T) / sizeof(double);
    const T high = T{} + 32767.0;
    const T low = T{} - 32768.0;
    int32_t n = 0;
    for (; n + kLanes <= count; n += kLanes) {
        T l;
        T r;
        std::memcpy(&l, left + n, sizeof l);
        std::memcpy(&r, right + n, sizeof r);
        l = l > high ? high : l;
        l = l >= low ? l : low;
        r = r > high ? high : r;
        r = r >= low ? r : low;
        const Words l16 = reinterpret_cast<Words>(__builtin_convertvector(l, Ints)) & 0xFFFFu;
        const Words r16 = reinterpret_cast<Words>(__builtin_convertvector(r, Ints)) & 0xFFFFu;
        const Words pairs =
            std::endian::native == std::endian::little ? l16 | r16 << 16 : r16 | l16 << 16;
        std::memcpy(out + 2 * n, &pairs, sizeof pairs);
    }
    for (; n < count; ++n) {
        const uint32_t pair = Pair(Clip(left[n]), Clip(right[n]));
        std::memcpy(out + 2 * n, &pair, sizeof pair);
    }
}

#if defined(MPLAY_CLONING)
__attribute__((target("avx512f"))) void ClipPairs(const double* left, const double* right,
                                                  int32_t count, int16_t* out) {
    ClipPairsWith<Lanes8, Ints8, Words8>(left, right, count, out);
}
__attribute__((target("avx2"))) void ClipPairs(const double* left, const double* right,
                                               int32_t count, int16_t* out) {
    ClipPairsWith<Lanes4, Ints4, Words4>(left, right, count, out);
}
__attribute__((target("default")))
#endif
void ClipPairs(const double* left, const double* right, int32_t count, int16_t* out) {
    ClipPairsWith<Lanes2, Ints2, Words2>(left, right, count, out);
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
    for (double& s : m_output) {
        s = 0.0;
    }
    m_actualV = m_v1;
    m_writePos = 15;
    for (double& e : m_eq) {
        e = 1.0;
    }
}

void SynthesisFilter::NextColumn(const double* column, double* out) {
    double* a = m_actualV;
    double* b = (m_actualV == m_v1) ? m_v2 : m_v1;
    StoreAndWindow(column, a, b, m_writePos, out);
    m_writePos = (m_writePos + 1) & 15;
    m_actualV = b;
}

int32_t SynthesisFilter::CalculatePcmSamples(int16_t* buffer, int32_t& written, int32_t& position,
                                             PcmCallback callback) {
    double v[32];
    synth::Dct32(m_samples, v);
    double column[64];
    SpreadColumns(v, 0.0, column);
    double values[32];
    NextColumn(column, values);
    if (buffer) {
        int16_t* out = buffer + 2 * position + m_channel;
        // The player's own converter is the clip below; calling it through the pointer per
        // value would cost more than the conversion itself.
        if (callback == nullptr || callback == SampleToPcm) {
            ClipToPcm(values, out);
        } else {
            Deliver(values, 32, out, m_channel, callback);
        }
    }
    position += 32;
    written += 32;
    return 1;
}

void SynthesisFilter::SynthesiseGranule(const double* work, double* levels) {
    if (levels) {
        for (int sb = 0; sb < 32; ++sb) {
            double sum = levels[sb];
            for (int ss = 0; ss < kGranuleSlots; ++ss) {
                sum += std::fabs(work[kGranuleSlots * sb + ss]);
            }
            levels[sb] = sum;
        }
    }
    double columns[2 * kGranuleValues];
    TransformGranule(work, m_eq, columns);
    for (int ss = 0; ss < kGranuleSlots; ++ss) {
        NextColumn(columns + 64 * ss, m_output + 32 * ss);
    }
    // As if the slots had come through InputSample.
    for (int sb = 0; sb < 32; ++sb) {
        m_samples[sb] = work[kGranuleSlots * sb + kGranuleSlots - 1] * m_eq[sb];
    }
}

void SynthesisFilter::Deliver(const double* values, int32_t count, int16_t* out, int32_t channel,
                              PcmCallback callback) {
    for (int32_t n = 0; n < count; ++n) {
        double value = values[n];
        out[2 * n] = static_cast<int16_t>(callback(&value, nullptr, channel));
    }
}

void SynthesisFilter::ConvertPairs(const double* left, const double* right, int32_t count,
                                   int16_t* out) {
    ClipPairs(left, right, count, out);
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
