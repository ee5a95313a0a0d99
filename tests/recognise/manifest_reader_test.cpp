// The pair-content reader on files it must refuse or repair, and on voices dropped in later.
#include "pairs/Json.h"
#include "pairs/PairManifest.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using sonavix::pairs::ParseManifest;

std::string Manifest(const std::string& words, const std::string& contrasts,
                     const std::string& voices = R"([{"id":"v1"},{"id":"v2"}])") {
    return R"({"format":1,"voices":)" + voices + R"(,"words":)" + words + R"(,"contrasts":)" +
           contrasts + "}";
}

std::string Word(const std::string& voicesJson) {
    return R"({"codes":"F i p","phones":"SH IH P","zh":"船","recordings":)" + voicesJson + "}";
}

const std::string kTwoWords = R"({"ship":)" + Word(R"([{"voice":"v1","file":"voices/v1/ship.mp3"},
                              {"voice":"v2","file":"voices/v2/ship.mp3"}])") +
                              R"(,"sheep":)" +
                              Word(R"([{"voice":"v1","file":"voices/v1/sheep.mp3"}])") + "}";

TEST(PairManifest, ReadsContrastsPairsAndRecordings) {
    std::string error;
    const auto m = ParseManifest(Manifest(kTwoWords,
                                          R"([{"id":"i-i:","a":"i","b":"i:","title":"ɪ / iː",
                      "pairs":[{"a":"ship","b":"sheep","voices":["v1","v2","v1","zz"]}]}])"),
                                 &error);
    ASSERT_TRUE(m) << error;
    ASSERT_EQ(m->contrasts.size(), 1u);
    const auto& pair = m->contrasts[0].pairs.at(0);
    // v2 has no "sheep", zz is no voice, v1 is listed once: only v1 can play both words.
    EXPECT_EQ(pair.voices, std::vector<std::string>{"v1"});
    EXPECT_EQ(m->Find("sheep")->In("v1")->file, "voices/v1/sheep.mp3");
    EXPECT_EQ(m->Find("ship")->gloss, "船");
    EXPECT_EQ(m->contrasts[0].title, "ɪ / iː");
}

TEST(PairManifest, RefusesBrokenReferencesAndUnsafeFiles) {
    const std::string pair = R"([{"id":"c","a":"i","b":"i:","pairs":[{"a":"ship","b":"sheep"}]}])";
    const std::string unsafeFiles[] = {"../ship.mp3",        "/etc/ship.mp3",
                                       "voices/v1/ship.exe", "voices//ship.mp3",
                                       "voices/.hidden.mp3", ""};
    for (const std::string& file : unsafeFiles) {
        const std::string words =
            R"({"ship":)" + Word(R"([{"voice":"v1","file":")" + file + R"("}]})") + "}";
        std::string error;
        EXPECT_FALSE(ParseManifest(Manifest(words, "[]"), &error)) << file;
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(ParseManifest(Manifest(R"({"ship":)" + Word("[]") + "}", pair), &error))
        << "a pair naming a word not listed";
    EXPECT_FALSE(ParseManifest(Manifest(kTwoWords, R"([{"id":"c","a":"i","b":"i:","pairs":[]},
                                                      {"id":"c","a":"e","b":"A","pairs":[]}])"),
                               &error))
        << "a contrast listed twice";
    EXPECT_FALSE(ParseManifest(Manifest(kTwoWords, "[]", R"([{"id":"v1"},{"id":"v1"}])"), &error))
        << "a voice listed twice";
    EXPECT_FALSE(ParseManifest(Manifest(R"({"../x":)" + Word("[]") + "}", "[]"), &error))
        << "a word that is no file name";
    EXPECT_FALSE(ParseManifest(R"({"format":2,"voices":[],"words":{},"contrasts":[]})", &error));
}

TEST(Json, RefusesWhatIsNotOneWellFormedValue) {
    const char* bad[] = {
        "",      "{",     "[1,]", "{\"a\":1,}", "\"\\ud800\"", "\"\x01\"", "\"\xc0\xaf\"",
        "1e999", "[1] 2", "nul",  "-",          "01x",         "\"\\u12\""};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(sonavix::pairs::ParseJson(text, &error)) << text;
    }
    const std::string deep(100000, '[');
    std::string error;
    EXPECT_FALSE(sonavix::pairs::ParseJson(deep + std::string(100000, ']'), &error));
    EXPECT_NE(error.find("deep"), std::string::npos);

    const auto v =
        sonavix::pairs::ParseJson(R"({"a":"\u00e9\ud83d\ude00","n":-1.5e2,"a":"x"})", &error);
    ASSERT_TRUE(v) << error;
    EXPECT_EQ(v->Get("a")->string, "x") << "the last of a repeated key";
    EXPECT_DOUBLE_EQ(v->Get("n")->number, -150.0);
    EXPECT_EQ(v->array[0].string, "\xc3\xa9\xf0\x9f\x98\x80");
}

TEST(PairManifest, PicksUpVoiceDirectoriesDroppedInLater) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("sonavix-pairs-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "voices" / "anna");
    std::filesystem::create_directories(dir / "voices" / "empty");
    std::filesystem::create_directories(dir / "voices" / "v1"); // listed already
    for (const char* word : {"ship", "sheep", "unknownword"}) {
        std::ofstream(dir / "voices" / "anna" / (std::string(word) + ".mp3")) << "x";
    }
    std::string error;
    auto m = ParseManifest(
        Manifest(kTwoWords, R"([{"id":"c","a":"i","b":"i:","pairs":[{"a":"ship","b":"sheep"}]}])"),
        &error);
    ASSERT_TRUE(m) << error;
    const auto added = sonavix::pairs::AddFoundVoices(*m, dir);
    EXPECT_EQ(added, std::vector<std::string>{"anna"});
    EXPECT_EQ(m->contrasts[0].pairs[0].voices, std::vector<std::string>{"anna"});
    EXPECT_EQ(m->Find("ship")->In("anna")->file, "voices/anna/ship.mp3");
    EXPECT_FALSE(m->Find("unknownword"));
    std::filesystem::remove_all(dir);
}

} // namespace

namespace {

// The committed content as the drill will read it: enough contrasts, every pair playable in at
// least three voices, every listed file there and a mono 22.05 kHz MPEG audio file.
TEST(PairContent, CommittedManifestIsCompleteAndItsFilesExist) {
    const std::filesystem::path content = SONAVIX_SOURCE_DIR "/assets/pairs";
    std::string error;
    const auto m = sonavix::pairs::LoadManifest(content / "manifest.json", &error);
    ASSERT_TRUE(m) << error;
    EXPECT_GE(m->contrasts.size(), 30u);
    EXPECT_GE(m->voices.size(), 5u);
    size_t atTarget = 0;
    for (const auto& c : m->contrasts) {
        EXPECT_GE(c.pairs.size(), 8u) << c.id;
        atTarget += c.pairs.size() >= 8;
        for (const auto& p : c.pairs) {
            EXPECT_GE(p.voices.size(), 3u) << c.id << " " << p.a << "/" << p.b;
        }
    }
    std::printf("%zu of %zu contrasts have 8 pairs or more\n", atTarget, m->contrasts.size());
    for (const auto& [text, word] : m->words) {
        EXPECT_FALSE(word.codes.empty() || word.phones.empty() || word.gloss.empty()) << text;
        for (const auto& rec : word.recordings) {
            std::ifstream in(content / rec.file, std::ios::binary);
            unsigned char header[4] = {};
            ASSERT_TRUE(in.read(reinterpret_cast<char*>(header), 4)) << rec.file;
            // Frame sync, MPEG-2 Layer III, 22.05 kHz, single channel.
            EXPECT_EQ(header[0], 0xFF) << rec.file;
            EXPECT_EQ(header[1] & 0xFE, 0xF2) << rec.file;
            EXPECT_EQ((header[2] >> 2) & 3, 0) << rec.file;
            EXPECT_EQ(header[3] >> 6, 3) << rec.file;
        }
    }
}

} // namespace
