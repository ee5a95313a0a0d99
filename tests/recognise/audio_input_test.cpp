// Recordings made ready for the recogniser: every WAV layout it accepts gives the same signal,
// a cut-off file is read as far as it goes, and resampling keeps pitch and level.
#include "recognise/AudioInput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using sonavix::speech::ParseAudio;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A 1 kHz sine at half scale in the given layout, the same on every channel.
std::vector<uint8_t> Wav(uint16_t format, uint16_t bits, uint16_t channels, uint32_t rate,
                         int frames) {
    std::vector<uint8_t> b;
    const uint32_t bytes = frames * channels * bits / 8;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put32(b, 36 + bytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, format);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, channels * bits / 8);
    Put16(b, bits);
    b.insert(b.end(), {'L', 'I', 'S', 'T'}); // a chunk to skip
    Put32(b, 3);
    b.insert(b.end(), {1, 2, 3, 0});
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, bytes);
    for (int i = 0; i < frames; ++i) {
        const double s = 0.5 * std::sin(2 * M_PI * 1000.0 * i / rate);
        for (int c = 0; c < channels; ++c) {
            const double v = s;
            if (format == 3) {
                float f = static_cast<float>(v);
                uint32_t u;
                std::memcpy(&u, &f, 4);
                Put32(b, u);
            } else if (bits == 8) {
                b.push_back(static_cast<uint8_t>(std::lrint(128 + v * 127)));
            } else if (bits == 16) {
                Put16(b, static_cast<uint16_t>(static_cast<int16_t>(std::lrint(v * 32767))));
            } else if (bits == 24) {
                const int32_t x = static_cast<int32_t>(std::lrint(v * 8388607));
                b.push_back(x & 0xFF);
                b.push_back((x >> 8) & 0xFF);
                b.push_back((x >> 16) & 0xFF);
            } else {
                Put32(b, static_cast<uint32_t>(static_cast<int32_t>(std::lrint(v * 2147483647.0))));
            }
        }
    }
    return b;
}

double Rms(const std::vector<float>& x, size_t skip) {
    double sum = 0;
    for (size_t i = skip; i + skip < x.size(); ++i) {
        sum += x[i] * x[i];
    }
    return std::sqrt(sum / (x.size() - 2 * skip));
}

int ZeroCrossings(const std::vector<float>& x, size_t skip) {
    int n = 0;
    for (size_t i = skip + 1; i + skip < x.size(); ++i) {
        n += (x[i - 1] < 0) != (x[i] < 0);
    }
    return n;
}

TEST(AudioInput, EveryWavLayoutGivesTheSameSignal) {
    struct Layout {
        uint16_t format, bits, channels;
    } layouts[] = {{1, 8, 1}, {1, 16, 1}, {1, 16, 2}, {1, 24, 1}, {1, 32, 2}, {3, 32, 1}};
    for (const auto& l : layouts) {
        std::string error;
        const auto audio = ParseAudio(Wav(l.format, l.bits, l.channels, 22050, 22050), &error);
        ASSERT_TRUE(audio) << l.bits << " bits: " << error;
        EXPECT_EQ(audio->rate, 22050u);
        ASSERT_EQ(audio->samples.size(), 22050u);
        EXPECT_NEAR(Rms(audio->samples, 0), 0.5 / std::sqrt(2.0), 0.01)
            << l.bits << " bits, " << l.channels << " channels";
    }
}

TEST(AudioInput, ReadsACutOffFileAsFarAsItGoesAndRefusesNonsense) {
    auto wav = Wav(1, 16, 1, 16000, 1000);
    wav.erase(wav.end() - 501, wav.end()); // half a sample short, too
    std::string error;
    const auto audio = ParseAudio(wav, &error);
    ASSERT_TRUE(audio) << error;
    EXPECT_EQ(audio->samples.size(), 749u);

    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {'R', 'I', 'F', 'F'},
        Wav(1, 12, 1, 16000, 10), // no such sample size
        Wav(1, 16, 0, 16000, 10), // no channels
        Wav(1, 16, 1, 100, 10),   // no such rate
        {'x', 'y', 'z', 0, 1, 2}, // neither WAV nor MPEG
    };
    for (const auto& bytes : bad) {
        EXPECT_FALSE(ParseAudio(bytes, &error)) << bytes.size() << " bytes";
    }
}

TEST(AudioInput, ResamplingKeepsPitchAndLevel) {
    const auto audio = ParseAudio(Wav(1, 16, 1, 22050, 22050), nullptr);
    ASSERT_TRUE(audio);
    const auto at16k = sonavix::speech::Resample(audio->samples, 22050, 16000);
    EXPECT_EQ(at16k.size(), 16000u);
    EXPECT_NEAR(Rms(at16k, 100), 0.5 / std::sqrt(2.0), 0.005);
    EXPECT_NEAR(ZeroCrossings(at16k, 100), 2000 * (16000 - 200) / 16000.0, 4);

    // Above the new Nyquist frequency: removed, not folded down.
    std::vector<float> high(44100);
    for (size_t i = 0; i < high.size(); ++i) {
        high[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 10000.0 * i / 44100));
    }
    EXPECT_LT(Rms(sonavix::speech::Resample(high, 44100, 16000), 100), 0.01);

    const auto pcm = sonavix::speech::ToRecogniserInput({std::vector<float>{2.0f, -2.0f}, 16000});
    EXPECT_EQ(pcm, (std::vector<int16_t>{32767, -32768})) << "clipped, not wrapped";
}

} // namespace
