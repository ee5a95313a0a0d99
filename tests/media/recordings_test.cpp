// The 90 lesson recordings as a learner gets them: each one decodes with an independent decoder
// and with ours to the same samples, is loud enough without clipping, starts and ends promptly,
// and says what it should: a symbol file two sayings, an examples file one burst per listed word,
// and those words are the ones the lesson source lists.

#include "temp_dir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kSymbols = 45;
const std::string kPho = SONAVIX_SOURCE_DIR "/assets/pho/";
const std::string kDecodeTool = SONAVIX_BIN_DIR "/sonavix-decode";

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
    double seconds() const { return rate ? double(samples.size()) / channels / rate : 0; }
    int16_t at(size_t frame, int channel) const { return samples[frame * channels + channel]; }
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

std::string shellQuote(const std::string& s) {
    return "'" + s + "'";
}

std::string runForOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

// Decoded by ffmpeg, which also drops the encoder's delay and padding.
Pcm decodeWithFfmpeg(const std::string& mp3) {
    Pcm pcm;
    const std::string probe = runForOutput(
        "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels"
        " -of csv=p=0 " +
        shellQuote(mp3));
    if (std::sscanf(probe.c_str(), "%d,%d", &pcm.rate, &pcm.channels) != 2)
        return {};
    const std::string raw = runForOutput("ffmpeg -v error -nostdin -i " + shellQuote(mp3) +
                                         " -f s16le -acodec pcm_s16le -");
    pcm.samples.resize(raw.size() / 2);
    std::memcpy(pcm.samples.data(), raw.data(), pcm.samples.size() * 2);
    return pcm;
}

uint32_t le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

// A 16-bit PCM RIFF file: the chunks are walked rather than assuming a 44-byte header.
Pcm readWav(const std::string& path) {
    std::string b;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            b.append(buffer, got);
        std::fclose(f);
    }
    Pcm pcm;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
        return pcm;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const size_t size = std::min<size_t>(le32(b, at + 4), b.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            pcm.channels = uint8_t(b[at + 10]) | uint8_t(b[at + 11]) << 8;
            pcm.rate = int(le32(b, at + 12));
        } else if (id == "data") {
            pcm.samples.resize(size / 2);
            std::memcpy(pcm.samples.data(), b.data() + at + 8, pcm.samples.size() * 2);
        }
        at += 8 + size + (size & 1);
    }
    return pcm;
}

Pcm decodeWithSonavix(const std::string& mp3, const std::string& wav) {
    runForOutput(shellQuote(kDecodeTool) + " " + shellQuote(mp3) + " " + shellQuote(wav) + " 2>&1");
    Pcm pcm = readWav(wav);
    std::filesystem::remove(wav);
    return pcm;
}

struct Level {
    double peak = 0; // of full scale
    double rmsDb = -200;
};

Level level(const Pcm& pcm) {
    Level l;
    double sum = 0;
    for (int16_t s : pcm.samples) {
        l.peak = std::max(l.peak, std::abs(double(s)) / 32768.0);
        sum += double(s) * s;
    }
    if (!pcm.samples.empty() && sum > 0)
        l.rmsDb = 10 * std::log10(sum / pcm.samples.size() / (32768.0 * 32768.0));
    return l;
}

// Sound found in 10 ms windows of channel 0: how many bursts lie apart by at least minGap
// seconds of quiet, and the quiet before the first and after the last.
struct Bursts {
    int count = 0;
    double lead = 0;
    double tail = 0;
};

Bursts bursts(const Pcm& pcm, double minGap = 0.3, double quietDb = -45) {
    Bursts b;
    const size_t window = size_t(pcm.rate / 100);
    if (window == 0)
        return b;
    const size_t windows = pcm.frames() / window;
    const double floor = 32768.0 * std::pow(10.0, quietDb / 20);
    size_t quietRun = SIZE_MAX / 2, first = SIZE_MAX, last = 0;
    for (size_t w = 0; w < windows; ++w) {
        double sum = 0;
        for (size_t i = 0; i < window; ++i) {
            const double s = pcm.at(w * window + i, 0);
            sum += s * s;
        }
        if (std::sqrt(sum / window) > floor) {
            if (double(quietRun) * 0.01 >= minGap)
                ++b.count;
            quietRun = 0;
            first = std::min(first, w);
            last = w;
        } else {
            ++quietRun;
        }
    }
    if (first != SIZE_MAX) {
        b.lead = first * 0.01;
        b.tail = (windows - 1 - last) * 0.01;
    }
    return b;
}

// The first frame whose sample stands out, a landmark to line two decodings up by.
size_t onset(const Pcm& pcm) {
    for (size_t i = 0; i < pcm.frames(); ++i)
        if (std::abs(int(pcm.at(i, 0))) > 2000)
            return i;
    return 0;
}

struct Difference {
    int max = 0;
    double rms = 0;
    size_t compared = 0;
};

// Ours keeps the encoder's delay, ffmpeg drops it: find the shift near the onsets' distance that
// matches best, then compare every overlapping frame on both channels.
Difference compareAligned(const Pcm& ours, const Pcm& reference) {
    const long guess = long(onset(ours)) - long(onset(reference));
    const size_t probeStart = onset(reference);
    const size_t probeLength = std::min<size_t>(4096, reference.frames() - probeStart);
    long best = guess;
    double bestCost = INFINITY;
    for (long shift = guess - 64; shift <= guess + 64; ++shift) {
        double cost = 0;
        for (size_t i = probeStart; i < probeStart + probeLength; ++i) {
            const long j = long(i) + shift;
            if (j < 0 || size_t(j) >= ours.frames()) {
                cost = INFINITY;
                break;
            }
            const double d = double(ours.at(size_t(j), 0)) - reference.at(i, 0);
            cost += d * d;
        }
        if (cost < bestCost) {
            bestCost = cost;
            best = shift;
        }
    }
    Difference diff;
    double sum = 0;
    for (size_t i = 0; i < reference.frames(); ++i) {
        const long j = long(i) + best;
        if (j < 0 || size_t(j) >= ours.frames())
            continue;
        for (int c = 0; c < ours.channels; ++c) {
            const int d = int(ours.at(size_t(j), c)) -
                          int(reference.at(i, std::min(c, reference.channels - 1)));
            diff.max = std::max(diff.max, std::abs(d));
            sum += double(d) * d;
            ++diff.compared;
        }
    }
    diff.rms = diff.compared ? std::sqrt(sum / diff.compared) : INFINITY;
    return diff;
}

QJsonArray readJsonArray(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).array();
}

QJsonObject readJsonObject(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

QStringList words(const QJsonArray& list) {
    QStringList out;
    for (const QJsonValue& w : list)
        out << w.toObject().value("word").toString();
    return out;
}

std::string fileOf(int n, bool examples) {
    std::string name = std::to_string(n);
    if (examples) {
        name += '-';
        name += std::to_string(n);
    }
    return name + ".mp3";
}

// Parameter: file index, 2n for n.mp3 and 2n + 1 for n-n.mp3.
class Recording : public ::testing::TestWithParam<int> {
  protected:
    int symbol() const { return GetParam() / 2; }
    bool examples() const { return GetParam() % 2 == 1; }
    std::string path() const { return kPho + fileOf(symbol(), examples()); }
};

TEST_P(Recording, IsClearlyAudibleAndSaysWhatItShould) {
    const std::string mp3 = path();
    ASSERT_TRUE(std::filesystem::exists(mp3)) << mp3;
    const Pcm pcm = decodeWithFfmpeg(mp3);
    ASSERT_GT(pcm.frames(), 0u) << mp3;
    EXPECT_TRUE(pcm.rate == 44100 || pcm.rate == 22050) << mp3 << ": " << pcm.rate << " Hz";

    const Level l = level(pcm);
    EXPECT_LT(l.peak, 0.99) << mp3 << " clips";
    EXPECT_GT(l.rmsDb, -32.0) << mp3 << " is too quiet";

    // A symbol is said twice; the examples say one word after another.
    int sayings = 2;
    if (examples()) {
        const QJsonArray lessons =
            readJsonArray(QStringLiteral(SONAVIX_SOURCE_DIR "/tools/media/lessons/examples.json"));
        ASSERT_EQ(lessons.size(), kSymbols);
        sayings = int(lessons[symbol()].toObject().value("words").toArray().size());
    }
    const Bursts b = bursts(pcm);
    EXPECT_EQ(b.count, sayings) << mp3;
    EXPECT_GE(pcm.seconds(), examples() ? 2.0 : 0.8) << mp3;
    EXPECT_LE(pcm.seconds(), examples() ? 10.0 : 3.0) << mp3;
    EXPECT_LE(b.lead, 0.1) << mp3;
    EXPECT_LE(b.tail, 0.1) << mp3;
}

TEST_P(Recording, OurDecoderMatchesAnIndependentOne) {
    if (!std::filesystem::exists(kDecodeTool))
        GTEST_SKIP() << "sonavix-decode is not built";
    const std::string mp3 = path();
    const Pcm reference = decodeWithFfmpeg(mp3);
    // A directory of its own: checkouts tested side by side share the temporary directory.
    const std::string dir = MakeTempDir("sonavix-recording-");
    ASSERT_FALSE(dir.empty());
    const Pcm ours = decodeWithSonavix(mp3, dir + "/" + fileOf(symbol(), examples()) + ".wav");
    std::filesystem::remove_all(dir);
    ASSERT_EQ(ours.channels, 2) << mp3;
    EXPECT_EQ(ours.rate, reference.rate) << mp3;
    // Ours adds only the encoder's delay, its padding and the silent tag frame.
    EXPECT_NEAR(ours.seconds(), reference.seconds(), 0.15) << mp3;
    const Difference d = compareAligned(ours, reference);
    EXPECT_GT(d.compared, reference.samples.size() * 9 / 10) << mp3;
    EXPECT_LE(d.max, 8) << mp3;
    EXPECT_LE(d.rms, 1.0) << mp3;
}

INSTANTIATE_TEST_SUITE_P(Pho, Recording, ::testing::Range(0, 2 * kSymbols),
                         [](const ::testing::TestParamInfo<int>& info) {
                             const int n = info.param / 2;
                             return info.param % 2 ? "examples" + std::to_string(n)
                                                   : "symbol" + std::to_string(n);
                         });

// The lesson source lists the example words once; the recordings must have been made from the
// list as it stands (the documents' side is checked against the same source).
TEST(RecordingWords, MatchTheLessonSource) {
    const QJsonArray lessons =
        readJsonArray(QStringLiteral(SONAVIX_SOURCE_DIR "/tools/media/lessons/examples.json"));
    const QJsonObject manifest =
        readJsonObject(QStringLiteral(SONAVIX_SOURCE_DIR "/tools/media/recordings/manifest.json"));
    ASSERT_EQ(lessons.size(), kSymbols);
    ASSERT_EQ(manifest.size(), kSymbols);
    for (int n = 0; n < kSymbols; ++n) {
        const QJsonObject entry = manifest.value(QString::number(n)).toObject();
        const QJsonObject lesson = lessons[n].toObject();
        EXPECT_EQ(words(entry.value("examples").toObject().value("words").toArray()),
                  words(lesson.value("words").toArray()))
            << "symbol " << n << ": the recording says other words; remake it";
        EXPECT_EQ(entry.value("code").toString(), lesson.value("code").toString()) << n;
    }
}

} // namespace
