// sonavix-recognise: decides which word of a minimal pair a recording says, or that it is not
// sure, and prints both words' scores. A batch mode serves the content generator and the
// benchmarks, which would otherwise load the acoustic model once per file.
#include "recognise/AudioInput.h"
#include "recognise/Recogniser.h"

#include "ToolVersion.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using sonavix::speech::PairResult;
using sonavix::speech::PairWord;
using sonavix::speech::Recogniser;
using sonavix::speech::Verdict;

const char kUsage[] =
    "Usage: sonavix-recognise --pair WORD_A WORD_B FILE...\n"
    "       sonavix-recognise --pair WORD_A,WORD_B FILE...\n"
    "       sonavix-recognise --batch LIST\n"
    "Decides which of two words each recording (WAV or MP3) says, or \"not sure\" when the\n"
    "two scores are close or the recording fits neither word.\n"
    "  --phones-a PHONES  pronunciation of WORD_A in the model's phones (\"SH IH P\"); default:\n"
    "                     the dictionary's first one (likewise --phones-b)\n"
    "  --batch LIST       one decision per line of LIST (\"-\" for standard input), fields\n"
    "                     separated by tabs: WORD_A PHONES_A WORD_B PHONES_B FILE (empty\n"
    "                     phones: the dictionary's); prints a tab-separated line for each:\n"
    "                     FILE VERDICT SCORE_A SCORE_B MARGIN FIT CONFIDENCE\n"
    "  --min-margin X     margin (per word frame) below which it is not sure (default 0.25)\n"
    "  --model DIR        acoustic model directory (default: the packaged en-us model)\n"
    "  --help, --version\n"
    "Scores are log-likelihoods per frame of the word; the margin is score A - score B; the\n"
    "fit compares the better word with a free phone loop.\n"
    "Exit status: 0 when every file was decided (\"not sure\" included), 1 when a file could\n"
    "not be read or decoded, 2 for bad usage.\n";

std::string Fixed(double v) {
    if (!std::isfinite(v)) {
        return v > 0 ? "inf" : "-inf";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
}

bool Decide(Recogniser& rec, const PairWord& a, const PairWord& b, const std::string& path,
            PairResult& result, std::string& error) {
    const auto audio = sonavix::speech::LoadAudioFile(path, &error);
    if (!audio) {
        return false;
    }
    result = rec.Decide(sonavix::speech::ToRecogniserInput(*audio), a, b);
    error = result.error;
    return error.empty();
}

const std::string& VerdictWord(const PairResult& r, const PairWord& a, const PairWord& b) {
    static const std::string notSure = "not sure";
    return r.verdict == Verdict::A ? a.word : r.verdict == Verdict::B ? b.word : notSure;
}

int RunBatch(Recogniser& rec, const std::string& list) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (list != "-") {
        file.open(list);
        if (!file) {
            std::fprintf(stderr, "sonavix-recognise: cannot read %s\n", list.c_str());
            return 1;
        }
        in = &file;
    }
    int status = 0;
    std::string line;
    while (std::getline(*in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');) {
            f.push_back(part);
        }
        if (f.size() != 5) {
            std::fprintf(stderr, "sonavix-recognise: need 5 tab-separated fields: %s\n",
                         line.c_str());
            status = 1;
            continue;
        }
        const PairWord a{f[0], f[1]}, b{f[2], f[3]};
        PairResult r;
        std::string error;
        if (!Decide(rec, a, b, f[4], r, error)) {
            std::fprintf(stderr, "sonavix-recognise: %s: %s\n", f[4].c_str(), error.c_str());
            std::printf("%s\terror\n", f[4].c_str());
            status = 1;
            continue;
        }
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%.3f\n", f[4].c_str(), VerdictWord(r, a, b).c_str(),
                    Fixed(r.scoreA).c_str(), Fixed(r.scoreB).c_str(), Fixed(r.margin).c_str(),
                    Fixed(r.fit).c_str(), r.confidence);
        std::fflush(stdout);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    sonavix::speech::RecogniserOptions options;
    PairWord a, b;
    std::string batch;
    std::vector<std::string> files;
    bool havePair = false;
    auto usage = [](const std::string& why) {
        std::fprintf(stderr, "sonavix-recognise: %s\n%s", why.c_str(), kUsage);
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            sonavix::PrintToolVersion("sonavix-recognise");
            return 0;
        }
        if (arg == "--pair") {
            if (!value(a.word)) {
                return usage("--pair needs two words");
            }
            const size_t comma = a.word.find(',');
            if (comma != std::string::npos) {
                b.word = a.word.substr(comma + 1);
                a.word.resize(comma);
            } else if (!value(b.word)) {
                return usage("--pair needs two words");
            }
            havePair = !a.word.empty() && !b.word.empty();
            if (!havePair) {
                return usage("--pair needs two words");
            }
        } else if (arg == "--phones-a" || arg == "--phones-b") {
            std::string phones;
            if (!value(phones)) {
                return usage(arg + " needs phones");
            }
            (arg == "--phones-a" ? a : b).phones = phones;
        } else if (arg == "--batch") {
            if (!value(batch)) {
                return usage("--batch needs a file");
            }
        } else if (arg == "--model") {
            if (!value(options.modelDir)) {
                return usage("--model needs a directory");
            }
        } else if (arg == "--min-margin") {
            std::string text;
            if (!value(text)) {
                return usage("--min-margin needs a number");
            }
            char* end = nullptr;
            options.minMargin = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end || !(options.minMargin >= 0)) {
                return usage("--min-margin needs a number >= 0");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (batch.empty() == !havePair || (havePair && files.empty()) ||
        (!batch.empty() && !files.empty())) {
        return usage("give --pair with files, or --batch");
    }

    std::string error;
    auto rec = Recogniser::Create(options, &error);
    if (!rec) {
        std::fprintf(stderr, "sonavix-recognise: %s\n", error.c_str());
        return 1;
    }
    if (!batch.empty()) {
        return RunBatch(*rec, batch);
    }
    int status = 0;
    for (const std::string& path : files) {
        PairResult r;
        if (!Decide(*rec, a, b, path, r, error)) {
            std::fprintf(stderr, "sonavix-recognise: %s: %s\n", path.c_str(), error.c_str());
            status = 1;
            continue;
        }
        if (files.size() > 1) {
            std::printf("%s\n", path.c_str());
        }
        std::printf("verdict: %s\n%s: %s\n%s: %s\nmargin: %s\nfit: %s\nconfidence: %.3f\n",
                    VerdictWord(r, a, b).c_str(), a.word.c_str(), Fixed(r.scoreA).c_str(),
                    b.word.c_str(), Fixed(r.scoreB).c_str(), Fixed(r.margin).c_str(),
                    Fixed(r.fit).c_str(), r.confidence);
    }
    return status;
}
