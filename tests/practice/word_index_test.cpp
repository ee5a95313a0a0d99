// Every example recording's word index names the lesson's words in order, one span each, inside
// the recording; and damaged indexes are refused rather than half read.
#include "practice/WordIndex.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The committed words of symbol n, from the lesson source, in order.
std::vector<std::string> LessonWords(const std::string& examples, int n) {
    // examples.json is a list of {"code", "words": [{"word": ...}, ...]} in symbol order.
    std::vector<std::string> words;
    size_t at = 0;
    for (int i = 0; i <= n; ++i) {
        at = examples.find("\"code\"", at + 1);
        if (at == std::string::npos)
            return {};
    }
    const size_t next = examples.find("\"code\"", at + 1);
    const std::string entry =
        examples.substr(at, next == std::string::npos ? std::string::npos : next - at);
    const std::regex word("\"word\":\\s*\"([^\"]*)\"");
    for (std::sregex_iterator it(entry.begin(), entry.end(), word), end; it != end; ++it)
        words.push_back((*it)[1]);
    return words;
}

TEST(WordIndex, EveryExampleRecordingHasItsWordsInsideIt) {
    const std::string dir = SONAVIX_SOURCE_DIR "/assets/pho/";
    const std::string examples = ReadText(SONAVIX_SOURCE_DIR "/tools/media/lessons/examples.json");
    const std::regex duration("\"duration\":\\s*([0-9.]+)");
    for (int n = 0; n < 45; ++n) {
        SCOPED_TRACE(n);
        const std::string path = dir + std::to_string(n) + "-" + std::to_string(n) + ".json";
        std::vector<sonavix::WordSpan> spans;
        ASSERT_TRUE(sonavix::ReadWordIndexFile(path, spans));
        const std::vector<std::string> words = LessonWords(examples, n);
        ASSERT_EQ(spans.size(), words.size());
        std::smatch m;
        const std::string text = ReadText(path);
        ASSERT_TRUE(std::regex_search(text, m, duration));
        const double length = std::stod(m[1]);
        double previousEnd = 0;
        for (size_t i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(spans[i].word, words[i]);
            EXPECT_GE(spans[i].start, previousEnd);
            EXPECT_LE(spans[i].end, length);
            // a word is said in more than a tenth of a second and less than two
            EXPECT_GT(spans[i].end - spans[i].start, 0.1);
            EXPECT_LT(spans[i].end - spans[i].start, 2.0);
            previousEnd = spans[i].end;
        }
    }
}

TEST(WordIndex, DamagedIndexesAreRefused) {
    std::vector<sonavix::WordSpan> spans;
    const char* good = R"({"file":"x.mp3","duration":2,"words":[{"word":"a","start":0,"end":1}]})";
    ASSERT_TRUE(sonavix::ParseWordIndex(good, spans));
    EXPECT_EQ(spans.size(), 1u);
    for (const char* bad : {
             "",
             "{",
             "[]",
             R"({"words":[)",
             R"({"words":[{"word":"a","start":0}]})",
             R"({"words":[{"word":"a","start":1,"end":0.5}]})",
             R"({"words":[{"word":"a","start":-1,"end":1}]})",
             R"({"words":[{"word":"a","start":0,"end":1e999}]})",
             R"({"words":[{"word":"","start":0,"end":1}]})",
             R"({"words":[{"word":"a","start":0,"end":1}]} trailing)",
             R"({"x":[[[[[[[[[[[[]]]]]]]]]]]],"words":[]})",
             R"({"words":[{"word":"a\u0041","start":0,"end":1}]})",
         }) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(sonavix::ParseWordIndex(bad, spans));
        EXPECT_TRUE(spans.empty());
    }
    std::string many = R"({"words":[)";
    for (size_t i = 0; i <= sonavix::kMaxWordSpans; ++i)
        many += std::string(i ? "," : "") + R"({"word":"a","start":0,"end":1})";
    EXPECT_FALSE(sonavix::ParseWordIndex(many + "]}", spans));
}

} // namespace
