// The minimal-pair recogniser on the committed drill recordings, on voices that never filtered
// them, and on recordings that are no word of the pair at all.
#include "pairs/PairManifest.h"
#include "recognise/AudioInput.h"
#include "recognise/Recogniser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using sonavix::speech::PairWord;
using sonavix::speech::Recogniser;
using sonavix::speech::Verdict;

const std::filesystem::path kContent = SONAVIX_SOURCE_DIR "/assets/pairs";

class RecogniserTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        s_rec = Recogniser::Create({}, &error).release();
        ASSERT_TRUE(s_rec) << error;
        auto m = sonavix::pairs::LoadManifest(kContent / "manifest.json", &error);
        ASSERT_TRUE(m) << error;
        s_manifest = new sonavix::pairs::Manifest(std::move(*m));
    }
    static void TearDownTestSuite() {
        delete s_rec;
        delete s_manifest;
    }

    static PairWord Of(const std::string& word) { return {word, s_manifest->Find(word)->phones}; }

    static std::vector<int16_t> Load(const std::filesystem::path& file) {
        std::string error;
        const auto audio = sonavix::speech::LoadAudioFile(file.string(), &error);
        EXPECT_TRUE(audio) << file << ": " << error;
        return audio ? sonavix::speech::ToRecogniserInput(*audio) : std::vector<int16_t>{};
    }

    static Recogniser* s_rec;
    static sonavix::pairs::Manifest* s_manifest;
};

Recogniser* RecogniserTest::s_rec = nullptr;
sonavix::pairs::Manifest* RecogniserTest::s_manifest = nullptr;

TEST_F(RecogniserTest, HearsTheCommittedRecordingsAsTheirOwnWord) {
    // Two pairs of every contrast, every voice they are kept in, both words.
    int total = 0, right = 0, wrong = 0;
    for (const auto& contrast : s_manifest->contrasts) {
        for (size_t p = 0; p < 2 && p < contrast.pairs.size(); ++p) {
            const auto& pair = contrast.pairs[p];
            for (const auto& voice : pair.voices) {
                for (const auto& [me, other] : {std::pair(pair.a, pair.b), {pair.b, pair.a}}) {
                    const auto* rec = s_manifest->Find(me)->In(voice);
                    const auto r = s_rec->Decide(Load(kContent / rec->file), Of(me), Of(other));
                    ASSERT_TRUE(r.error.empty()) << r.error;
                    ++total;
                    right += r.verdict == Verdict::A;
                    wrong += r.verdict == Verdict::B;
                }
            }
        }
    }
    const double rate = 100.0 * right / total;
    std::printf("heard as their own word: %d of %d (%.1f %%), as the other word: %d\n", right,
                total, rate, wrong);
    EXPECT_GE(total, 300);
    EXPECT_GE(rate, 80.0); // 85 % when the content was made
    // The generator dropped every recording whose score leaned the other way.
    EXPECT_EQ(wrong, 0);
}

TEST_F(RecogniserTest, AWordOfAnotherPairIsNotSureOrLowConfidence) {
    int total = 0, confident = 0;
    const auto& cs = s_manifest->contrasts;
    for (size_t i = 0; i < cs.size(); ++i) {
        const auto& pair = cs[i].pairs.at(0);
        const auto& foreign = cs[(i + cs.size() / 2) % cs.size()].pairs.at(1);
        const std::string& voice = foreign.voices.at(0);
        const auto* rec = s_manifest->Find(foreign.a)->In(voice);
        if (foreign.a == pair.a || foreign.a == pair.b) {
            continue;
        }
        const auto r = s_rec->Decide(Load(kContent / rec->file), Of(pair.a), Of(pair.b));
        ++total;
        confident += r.verdict != Verdict::NotSure && r.confidence >= 0.9;
    }
    std::printf("another pair's word judged with confidence >= 0.9: %d of %d\n", confident, total);
    EXPECT_GE(total, 25);
    EXPECT_LE(confident, total / 5);
}

TEST_F(RecogniserTest, NoiseSilenceAndToneAreNotSure) {
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, 3000.0);
    std::vector<int16_t> noise(16000), tone(16000), silence(16000, 0);
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<int16_t>(std::clamp(gauss(random), -32768.0, 32767.0));
        tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 16000.0));
    }
    for (const auto* samples : {&noise, &tone, &silence}) {
        const auto r = s_rec->Decide(*samples, Of("ship"), Of("sheep"));
        EXPECT_TRUE(r.verdict == Verdict::NotSure || r.confidence < 0.9)
            << "margin " << r.margin << " fit " << r.fit;
    }
}

TEST_F(RecogniserTest, RefusesWhatItCannotDecide) {
    const std::vector<int16_t> second(16000, 0);
    EXPECT_FALSE(s_rec->Decide(second, {"ship", "SH IH PX"}, Of("sheep")).error.empty());
    EXPECT_FALSE(s_rec->Decide(second, {"ship", ""}, {"shipp", ""}).error.empty())
        << "a word the dictionary lacks, with no phones given";
    EXPECT_FALSE(s_rec->Decide(second, {"read", "R EH D"}, {"red", "r eh1 d"}).error.empty())
        << "two words said alike";
    EXPECT_FALSE(s_rec->Decide({}, Of("ship"), Of("sheep")).error.empty());
    const std::vector<int16_t> tooLong(Recogniser::kMaxSamples + 1, 0);
    EXPECT_FALSE(s_rec->Decide(tooLong, Of("ship"), Of("sheep")).error.empty());
    EXPECT_EQ(s_rec->Lookup("Sheep").value_or(""), "SH IY P");
}

// espeak-ng's voices were kept out of the content: what the recogniser does on speech it was
// never filtered with.
TEST_F(RecogniserTest, HearsHeldOutVoicesMostlyRight) {
    if (std::system("espeak-ng --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "espeak-ng is not installed";
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("sonavix-heldout-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    int total = 0, right = 0;
    for (const char* id : {"i-i:", "e-A", "W-s", "l-r", "v-w", "n-N", "final-drop", "p-b"}) {
        const auto* contrast = s_manifest->FindContrast(id);
        ASSERT_TRUE(contrast) << id;
        for (size_t p = 0; p < 3; ++p) {
            const auto& pair = contrast->pairs.at(p);
            for (const char* voice : {"en-us", "en-us+f3"}) {
                for (const auto& [me, other] : {std::pair(pair.a, pair.b), {pair.b, pair.a}}) {
                    const auto wav = dir / (me + "-" + voice + ".wav");
                    const std::string cmd = "espeak-ng -v " + std::string(voice) + " -w '" +
                                            wav.string() + "' '" + me + "'";
                    ASSERT_EQ(std::system(cmd.c_str()), 0);
                    const auto r = s_rec->Decide(Load(wav), Of(me), Of(other));
                    ++total;
                    right += r.verdict == Verdict::A;
                }
            }
        }
    }
    std::filesystem::remove_all(dir);
    std::printf("held-out voices heard as the intended word: %d of %d (%.1f %%)\n", right, total,
                100.0 * right / total);
    EXPECT_GE(100.0 * right / total, 55.0);
}

} // namespace

namespace {

// A verdict is the recording's own: deciding others in between, or the words in the other
// order, changes no score.
TEST_F(RecogniserTest, ScoresDoNotDependOnWhatWasDecodedBefore) {
    for (const char* word : {"ship", "sheep"})
        ASSERT_NE(s_manifest->Find(word), nullptr) << word;
    const auto ship = Load(kContent / "voices" / "flite-rms" / "ship.mp3");
    const auto other = Load(kContent / "voices" / "festival-kal" / "ship.mp3");
    ASSERT_FALSE(ship.empty());
    ASSERT_FALSE(other.empty());
    const auto first = s_rec->Decide(ship, Of("ship"), Of("sheep"));
    s_rec->Decide(other, Of("sheep"), Of("ship"));
    const auto again = s_rec->Decide(ship, Of("ship"), Of("sheep"));
    const auto swapped = s_rec->Decide(ship, Of("sheep"), Of("ship"));
    EXPECT_EQ(first.scoreA, again.scoreA);
    EXPECT_EQ(first.scoreB, again.scoreB);
    EXPECT_EQ(first.scoreA, swapped.scoreB);
    EXPECT_EQ(first.scoreB, swapped.scoreA);
}

} // namespace
