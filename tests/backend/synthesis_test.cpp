// The polyphase synthesis against the standard's direct form (1024-value V shift register, U
// vector, window D), and the filter's output contract.
#include "decoder_access.h"

#include "decode/Tables.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

using namespace mplay;

namespace {

std::vector<double> g_delivered;
int g_calls = 0;

int32_t Record(double* sample, double*, int32_t) {
    ++g_calls;
    g_delivered.push_back(*sample);
    return 0;
}

// The standard's synthesis, computed without any factorisation. D is the window in its
// original order, recovered from the transposed table.
class DirectSynthesis {
  public:
    DirectSynthesis() {
        for (int j = 0; j < 32; ++j) {
            for (int k = 0; k < 16; ++k) {
                m_d[j + 32 * k] = g_synthWindow[16 * j + k];
            }
        }
    }
    void Slot(const double* s, double* out) {
        for (int i = 1023; i >= 64; --i) {
            m_v[i] = m_v[i - 64];
        }
        for (int i = 0; i < 64; ++i) {
            long double sum = 0;
            for (int k = 0; k < 32; ++k) {
                sum +=
                    std::cos((16 + i) * (2 * k + 1) * std::numbers::pi_v<long double> / 64) * s[k];
            }
            m_v[i] = sum;
        }
        long double u[512];
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 32; ++j) {
                u[64 * i + j] = m_v[128 * i + j];
                u[64 * i + 32 + j] = m_v[128 * i + 96 + j];
            }
        }
        for (int j = 0; j < 32; ++j) {
            long double sum = 0;
            for (int i = 0; i < 16; ++i) {
                sum += u[j + 32 * i] * m_d[j + 32 * i];
            }
            out[j] = static_cast<double>(32767 * sum);
        }
    }

  private:
    long double m_v[1024] = {};
    double m_d[512];
};

TEST(SynthesisFilter, MatchesTheDirectFormOverManySlots) {
    SynthesisFilter filter(0);
    DirectSynthesis direct;
    int32_t written = 0;
    int32_t position = 0;
    std::vector<int16_t> pcm(2 * 32 * 40);
    double worst = 0;
    for (int slot = 0; slot < 40; ++slot) {
        double s[32];
        for (int k = 0; k < 32; ++k) {
            s[k] = 0.3 * std::sin(0.7 * slot * (k + 1) + k);
            filter.InputSample(s[k], k);
        }
        g_delivered.clear();
        filter.CalculatePcmSamples(pcm.data(), written, position, Record);
        double expected[32];
        direct.Slot(s, expected);
        ASSERT_EQ(g_delivered.size(), 32u);
        for (int j = 0; j < 32; ++j) {
            worst = std::max(worst, std::fabs(g_delivered[j] - expected[j]));
        }
    }
    // Output is at 16-bit scale; the factorisation must stay far below one step.
    EXPECT_LT(worst, 1e-8);
    EXPECT_EQ(written, 40 * 32);
    EXPECT_EQ(position, 40 * 32);
}

TEST(SynthesisFilter, SilenceGivesSilence) {
    SynthesisFilter filter(1);
    int32_t written = 0;
    int32_t position = 0;
    int16_t pcm[2 * 32 * 4];
    for (int16_t& v : pcm) {
        v = 7;
    }
    for (int slot = 0; slot < 4; ++slot) {
        for (int k = 0; k < 32; ++k) {
            filter.InputSample(0.0, k);
        }
        filter.CalculatePcmSamples(pcm, written, position, nullptr);
    }
    for (int n = 0; n < 128; ++n) {
        EXPECT_EQ(pcm[2 * n + 1], 0) << n;
        EXPECT_EQ(pcm[2 * n], 7) << "channel 1 wrote an even slot at " << n;
    }
}

TEST(SynthesisFilter, WritesColumn15FirstThenColumn0) {
    SynthesisFilter filter(0);
    EXPECT_EQ(SynthesisFilterAccess::writePos(filter), 15);
    for (int k = 0; k < 32; ++k) {
        filter.InputSample(1.0 / (k + 1), k);
    }
    int32_t written = 0;
    int32_t position = 0;
    auto columnUsed = [](const double* v, int column) {
        for (int row = 0; row < 32; ++row) {
            if (v[32 * column + row] != 0.0) {
                return true;
            }
        }
        return false;
    };
    filter.CalculatePcmSamples(nullptr, written, position, nullptr);
    EXPECT_TRUE(columnUsed(SynthesisFilterAccess::v1(filter), 15));
    EXPECT_TRUE(columnUsed(SynthesisFilterAccess::v2(filter), 15));
    EXPECT_FALSE(columnUsed(SynthesisFilterAccess::v1(filter), 0));
    EXPECT_EQ(SynthesisFilterAccess::writePos(filter), 0);
    filter.CalculatePcmSamples(nullptr, written, position, nullptr);
    EXPECT_TRUE(columnUsed(SynthesisFilterAccess::v1(filter), 0));
    EXPECT_TRUE(columnUsed(SynthesisFilterAccess::v2(filter), 0));
    EXPECT_EQ(SynthesisFilterAccess::writePos(filter), 1);
}

TEST(SynthesisFilter, NullBufferStillAdvancesTheCounters) {
    SynthesisFilter filter(0);
    int32_t written = 5;
    int32_t position = 9;
    g_calls = 0;
    filter.CalculatePcmSamples(nullptr, written, position, Record);
    filter.CalculatePcmSamples(nullptr, written, position, Record);
    EXPECT_EQ(written, 5 + 64);
    EXPECT_EQ(position, 9 + 64);
    EXPECT_EQ(g_calls, 0);
}

TEST(SynthesisFilter, InputSampleStoresAndReportsMagnitude) {
    SynthesisFilter filter(0);
    EXPECT_EQ(filter.InputSample(-0.25, 3), 0.25);
    EXPECT_EQ(SynthesisFilterAccess::samples(filter)[3], -0.25);
}

// The built-in converter works on a whole slot at once; it must give ClipSample's result for
// every value, including loud slots that clip and a NaN slot.
TEST(SynthesisFilter, BuiltInConverterMatchesClipSample) {
    SynthesisFilter converted(0);
    SynthesisFilter recorded(0);
    int32_t written = 0;
    int32_t position = 0;
    int32_t unused = 0;
    int32_t recordedPosition = 0;
    std::vector<int16_t> pcm(2 * 32);
    for (int slot = 0; slot < 24; ++slot) {
        for (int k = 0; k < 32; ++k) {
            double s = (slot % 3 + 0.5) * std::sin(1.3 * slot * (k + 1) + k);
            if (slot == 20 && k == 5) {
                s = std::numeric_limits<double>::quiet_NaN();
            }
            converted.InputSample(s, k);
            recorded.InputSample(s, k);
        }
        position = 0;
        recordedPosition = 0;
        converted.CalculatePcmSamples(pcm.data(), written, position, nullptr);
        g_delivered.clear();
        recorded.CalculatePcmSamples(pcm.data() + 1, unused, recordedPosition, Record);
        ASSERT_EQ(g_delivered.size(), 32u);
        for (int j = 0; j < 32; ++j) {
            EXPECT_EQ(pcm[2 * j], SynthesisFilter::ClipSample(g_delivered[j]))
                << "slot " << slot << " sample " << j << " value " << g_delivered[j];
        }
    }
}

TEST(SynthesisFilter, ClipSampleSaturatesAndTruncates) {
    EXPECT_EQ(SynthesisFilter::ClipSample(32767.5), 32767);
    EXPECT_EQ(SynthesisFilter::ClipSample(40000.0), 32767);
    EXPECT_EQ(SynthesisFilter::ClipSample(32767.0), 32767);
    EXPECT_EQ(SynthesisFilter::ClipSample(-32768.0), -32768);
    EXPECT_EQ(SynthesisFilter::ClipSample(-32768.5), -32768);
    EXPECT_EQ(SynthesisFilter::ClipSample(1.9), 1);
    EXPECT_EQ(SynthesisFilter::ClipSample(-1.9), -1);
    EXPECT_EQ(SynthesisFilter::ClipSample(std::numeric_limits<double>::quiet_NaN()), -32768);
    EXPECT_EQ(SynthesisFilter::ClipSample(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(SynthesisFilter::ClipSample(-std::numeric_limits<double>::infinity()), -32768);
}

// Granules of every kind the decoder can hand over: music-like, loud enough to clip, silence,
// signed zeros, subnormals, and values no sane stream gives (NaN, infinities, huge).
std::vector<double> Granule(int kind, int seed) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<double> work(SynthesisFilter::kGranuleValues);
    for (int sb = 0; sb < 32; ++sb) {
        for (int ss = 0; ss < 18; ++ss) {
            const double wave = std::sin(0.37 * seed * (sb + 1) + 1.7 * ss + sb);
            double& x = work[18 * sb + ss];
            switch (kind % 6) {
            case 0:
                x = 0.2 * wave / (sb + 1);
                break;
            case 1:
                x = 3.0 * wave;
                break;
            case 2:
                x = 0.0;
                break;
            case 3:
                x = (sb + ss) % 2 ? -0.0 : 4.9e-324 * (ss + 1);
                break;
            case 4:
                x = ss == 7 && sb == 3 ? nan : ss == 11 && sb == 30 ? -inf : wave;
                break;
            default:
                x = (sb * 18 + ss) % 5 == 0 ? 1e300 * wave : -wave;
                break;
            }
        }
    }
    return work;
}

bool SameBits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// The granule path against the same filter fed one slot at a time through the public slot API,
// over granules of every kind in turn (so that NaN and huge values also pass through the
// history), mixed with single slots on the granule filter: values, levels and state must agree
// to the bit.
TEST(SynthesisFilter, GranuleGivesTheBitsOfItsSlotsOneByOne) {
    SynthesisFilter granular(1);
    SynthesisFilter slotwise(1);
    std::vector<int16_t> pcm(2 * 32);
    for (int g = 0; g < 30; ++g) {
        const std::vector<double> work = Granule(g, g * 7 + 1);
        double granuleLevels[32];
        double slotLevels[32];
        for (int sb = 0; sb < 32; ++sb) {
            granuleLevels[sb] = slotLevels[sb] = 0.1 * sb;
        }
        granular.SynthesiseGranule(work.data(), g % 4 == 3 ? nullptr : granuleLevels);
        g_delivered.clear();
        for (int ss = 0; ss < 18; ++ss) {
            for (int sb = 0; sb < 32; ++sb) {
                slotLevels[sb] += slotwise.InputSample(work[18 * sb + ss], sb);
            }
            int32_t written = 0;
            int32_t position = 0;
            slotwise.CalculatePcmSamples(pcm.data(), written, position, Record);
        }
        ASSERT_EQ(g_delivered.size(), 576u);
        for (int n = 0; n < 576; ++n) {
            ASSERT_TRUE(SameBits(granular.Output()[n], g_delivered[n]))
                << "granule " << g << " slot " << n / 32 << " sample " << n % 32 << ": "
                << granular.Output()[n] << " against " << g_delivered[n];
        }
        for (int sb = 0; sb < 32; ++sb) {
            if (g % 4 == 3) {
                EXPECT_EQ(granuleLevels[sb], 0.1 * sb) << "levels written when not asked";
            } else {
                ASSERT_TRUE(SameBits(granuleLevels[sb], slotLevels[sb])) << g << " " << sb;
            }
        }
        constexpr size_t kRingBytes = SynthesisFilter::kRingValues * sizeof(double);
        for (auto* v : {&SynthesisFilterAccess::v1, &SynthesisFilterAccess::v2}) {
            ASSERT_EQ(std::memcmp(v(granular), v(slotwise), kRingBytes), 0) << "granule " << g;
            // The taps read a column's second copy, 16 columns on: it must be the first.
            ASSERT_EQ(std::memcmp(v(granular), v(granular) + 512, 512 * sizeof(double)), 0)
                << "granule " << g;
        }
        ASSERT_EQ(std::memcmp(SynthesisFilterAccess::samples(granular),
                              SynthesisFilterAccess::samples(slotwise), 32 * sizeof(double)),
                  0);
        ASSERT_EQ(SynthesisFilterAccess::writePos(granular),
                  SynthesisFilterAccess::writePos(slotwise));

        // Every fifth granule, one more slot on both, so that the granules start at every
        // column of the ring.
        if (g % 5 == 4) {
            g_delivered.clear();
            for (SynthesisFilter* f : {&granular, &slotwise}) {
                for (int sb = 0; sb < 32; ++sb) {
                    f->InputSample(0.01 * (sb - g), sb);
                }
                int32_t written = 0;
                int32_t position = 0;
                f->CalculatePcmSamples(pcm.data(), written, position, Record);
            }
            for (int j = 0; j < 32; ++j) {
                ASSERT_TRUE(SameBits(g_delivered[j], g_delivered[32 + j])) << g << " " << j;
            }
        }
    }
}

// Every vector width the processor runs against the portable kernels, over granules of every
// kind and single slots in between, through both converters: the same bits everywhere.
TEST(SynthesisFilter, EveryWidthGivesThePortableBits) {
    const LaneKernels& portable = LaneKernelVariants().front();
    for (const LaneKernels& variant : LaneKernelVariants()) {
        SynthesisFilter wide(0, variant);
        SynthesisFilter plain(0, portable);
        std::vector<int16_t> widePcm(2 * 576);
        std::vector<int16_t> plainPcm(2 * 576);
        for (int g = 0; g < 30; ++g) {
            const std::vector<double> work = Granule(g, g * 3 + 2);
            wide.SynthesiseGranule(work.data(), nullptr);
            plain.SynthesiseGranule(work.data(), nullptr);
            for (int n = 0; n < 576; ++n) {
                ASSERT_TRUE(SameBits(wide.Output()[n], plain.Output()[n]))
                    << variant.name << " granule " << g << " value " << n;
            }
            SynthesisFilter::ConvertPairs(wide.Output(), plain.Output(), 576, widePcm.data(),
                                          variant);
            SynthesisFilter::ConvertPairs(wide.Output(), plain.Output(), 576, plainPcm.data(),
                                          portable);
            ASSERT_EQ(widePcm, plainPcm) << variant.name << " granule " << g;

            for (SynthesisFilter* f : {&wide, &plain}) {
                for (int sb = 0; sb < 32; ++sb) {
                    f->InputSample(work[18 * sb + g % 18] * 1.5, sb);
                }
                int32_t written = 0;
                int32_t position = 0;
                f->CalculatePcmSamples(f == &wide ? widePcm.data() : plainPcm.data(), written,
                                       position, nullptr);
            }
            ASSERT_EQ(widePcm, plainPcm) << variant.name << " slot after granule " << g;
        }
    }
}

// The two-channel converter against ClipSample on every edge of the range and every kind of
// odd value, for counts that do and do not fill its vectors, and with one channel given twice.
TEST(SynthesisFilter, ConvertPairsMatchesClipSampleForBothChannels) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> edges = {
        0.0,     -0.0,    0.5,      -0.5,     1.9,      -1.9,      32766.99,  32767.0, 32767.5,
        32768.0, 65536.0, -32767.5, -32768.0, -32768.5, -32769.0,  -65537.0,  nan,     -nan,
        inf,     -inf,    1e300,    -1e300,   4.9e-324, 12345.678, -23456.789};
    std::vector<double> left;
    std::vector<double> right;
    for (size_t i = 0; i < 3 * edges.size(); ++i) {
        left.push_back(edges[i % edges.size()]);
        right.push_back(edges[(7 * i + 3) % edges.size()]);
    }
    for (int32_t count : {0, 1, 7, 8, 9, 31, 576, static_cast<int32_t>(left.size())}) {
        if (count > static_cast<int32_t>(left.size())) {
            left.resize(count, 100.25);
            right.resize(count, -100.75);
        }
        for (bool mono : {false, true}) {
            const double* r = mono ? left.data() : right.data();
            for (const LaneKernels& variant : LaneKernelVariants()) {
                std::vector<int16_t> out(2 * count + 4, 0x5A5A);
                SynthesisFilter::ConvertPairs(left.data(), r, count, out.data() + 2, variant);
                for (int32_t n = 0; n < count; ++n) {
                    ASSERT_EQ(out[2 + 2 * n], SynthesisFilter::ClipSample(left[n]))
                        << variant.name << " " << count << " " << n;
                    ASSERT_EQ(out[3 + 2 * n], SynthesisFilter::ClipSample(r[n]))
                        << variant.name << " " << count << " " << n;
                }
                for (int i : {0, 1, 2 * count + 2, 2 * count + 3}) {
                    EXPECT_EQ(out[i], 0x5A5A) << "written outside at " << i << ", count " << count;
                }
            }
        }
    }
}

} // namespace
