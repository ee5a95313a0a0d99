#pragma once
// Decides which word of a minimal pair a recording says, with a margin, so that a close call
// can be reported as "not sure" instead of a guess.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace sonavix::speech {

struct PairWord {
    std::string word;
    // The acoustic model's phones, space-separated ("SH IH P"); empty: the dictionary's first
    // pronunciation of word.
    std::string phones;
};

enum class Verdict { A, B, NotSure };

struct PairResult {
    Verdict verdict = Verdict::NotSure;
    // Log-likelihood of the whole recording said as each word, per frame of the word, in
    // thousandths of the decoder's natural-log units (relative to the best senone of each
    // frame, so 0 is a perfect fit); -infinity when no path through that word was found.
    double scoreA = 0;
    double scoreB = 0;
    double margin = 0;     // scoreA - scoreB: > 0 leans to A
    double fit = 0;        // the better word against a free phone loop, per word frame (<= ~0)
    double confidence = 0; // 0..1 that the verdict is right; 0 for NotSure
    int frames = 0;        // 10 ms frames decoded
    std::string error;     // why no decision could be attempted (bad phones, no audio)
};

struct RecogniserOptions {
    std::string modelDir;   // acoustic model; empty: the packaged en-us model
    std::string dictionary; // pronunciation dictionary; empty: the packaged one
    double minMargin = 0.25; // |margin| below this is not sure
    double minFit = -3.0;   // a fit below this is not a word of the pair
};

const char* VerdictName(Verdict v);

// One decoder; not for use from two threads at once (make one per thread).
class Recogniser {
  public:
    static constexpr int kSampleRate = 16000;
    // Recordings longer than this are refused rather than decoded for seconds on end.
    static constexpr size_t kMaxSamples = 30 * kSampleRate;

    static std::unique_ptr<Recogniser> Create(const RecogniserOptions& options, std::string* error);
    ~Recogniser();
    Recogniser(const Recogniser&) = delete;
    Recogniser& operator=(const Recogniser&) = delete;

    // samples: 16 kHz mono.
    PairResult Decide(std::span<const int16_t> samples, const PairWord& a, const PairWord& b);

    // The dictionary's first pronunciation of word, if it has one.
    std::optional<std::string> Lookup(const std::string& word);

    const RecogniserOptions& Options() const { return m_options; }

  private:
    struct Impl;
    explicit Recogniser(std::unique_ptr<Impl> impl, RecogniserOptions options);
    std::unique_ptr<Impl> m_impl;
    RecogniserOptions m_options;
};

// Phones as the model knows them, upper case and single-spaced; nullopt when a phone is unknown
// or there are none or too many.
std::optional<std::string> NormalisePhones(const std::string& phones);

} // namespace sonavix::speech
