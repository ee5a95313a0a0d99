// The polyphase synthesis against the standard's direct form (1024-value V shift register, U
// vector, window D), and the filter's output contract.
#include "decoder_access.h"

#include "mplay/Tables.h"

#include <gtest/gtest.h>

#include <cmath>
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

} // namespace
