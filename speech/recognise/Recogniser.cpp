#include "Recogniser.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <sstream>

#ifndef SONAVIX_PS_MODEL_ROOT
#define SONAVIX_PS_MODEL_ROOT "/usr/share/pocketsphinx/model/en-us"
#endif

namespace sonavix::speech {
namespace {

constexpr std::array<const char*, 39> kPhones = {
    "AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY",
    "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M", "N",  "NG", "OW", "OY",
    "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y",  "Z",  "ZH"};
constexpr size_t kMaxPhones = 40;
constexpr const char* kLoopSearch = "phone-loop";
// Path scores come normalised to each frame's best senone, so a whole word differs from its
// pair by thousandths; scaled for readable figures.
constexpr double kScoreScale = 1000.0;
// The margin beyond the threshold at which confidence has gone from 0.5 to about 0.82.
constexpr double kConfidenceScale = 1.0;
constexpr double kNegInf = -std::numeric_limits<double>::infinity();

struct Decoded {
    bool found = false;
    double score = kNegInf; // nats, whole recording
    int wordFrames = 0;
};

bool IsFiller(const char* word) {
    const std::string w = word ? word : "";
    return w.empty() || w == "<sil>" || w == "<s>" || w == "</s>" || w == "(NULL)" ||
           w.front() == '+' || w.front() == '[';
}

} // namespace

const char* VerdictName(Verdict v) {
    switch (v) {
    case Verdict::A:
        return "A";
    case Verdict::B:
        return "B";
    case Verdict::NotSure:
        break;
    }
    return "not sure";
}

std::optional<std::string> NormalisePhones(const std::string& phones) {
    std::istringstream in(phones);
    std::string phone, out;
    size_t count = 0;
    while (in >> phone) {
        std::transform(phone.begin(), phone.end(), phone.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        // The dictionary marks no stress, but callers copying from other lists may.
        if (!phone.empty() && phone.back() >= '0' && phone.back() <= '2') {
            phone.pop_back();
        }
        if (std::find(kPhones.begin(), kPhones.end(), phone) == kPhones.end()) {
            return std::nullopt;
        }
        if (++count > kMaxPhones) {
            return std::nullopt;
        }
        out += (out.empty() ? "" : " ") + phone;
    }
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

struct Recogniser::Impl {
    ps_decoder_t* ps = nullptr;
    std::set<std::string> searches; // one-word grammars made so far, by internal word name

    ~Impl() {
        if (ps) {
            ps_free(ps);
        }
    }

    // Each pronunciation becomes a word of its own, named after its phones, so that a word's
    // other dictionary pronunciations (which may be its pair's) never take part.
    bool EnsureSearch(const std::string& phones, std::string& name) {
        name = "sonavix_pron_";
        for (char c : phones) {
            name += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (searches.count(name)) {
            return true;
        }
        if (ps_add_word(ps, name.c_str(), phones.c_str(), FALSE) < 0) {
            return false;
        }
        const std::string grammar = "#JSGF V1.0;\ngrammar one;\npublic <one> = " + name + ";\n";
        if (ps_set_jsgf_string(ps, name.c_str(), grammar.c_str()) < 0) {
            return false;
        }
        searches.insert(name);
        return true;
    }

    // Any phones in any order: what the recording fits best with no word imposed. A grammar
    // loop of one-phone words costs a fraction of the library's phone search.
    bool MakePhoneLoop() {
        std::string alternatives;
        for (const char* phone : kPhones) {
            std::string name = "sonavix_phone_";
            for (const char* c = phone; *c; ++c) {
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
            }
            if (ps_add_word(ps, name.c_str(), phone, FALSE) < 0) {
                return false;
            }
            alternatives += (alternatives.empty() ? "" : " | ") + name;
        }
        const std::string grammar =
            "#JSGF V1.0;\ngrammar loop;\npublic <loop> = (" + alternatives + ")+;\n";
        return ps_set_jsgf_string(ps, kLoopSearch, grammar.c_str()) >= 0;
    }

    Decoded Run(const char* search, std::span<const int16_t> samples) {
        Decoded d;
        // A new stream for every decoding: the front end's noise estimate would otherwise carry
        // over, so that a verdict depended on what had been decoded before it and the two words
        // of a pair, decoded one after the other, were scored against different estimates.
        if (ps_set_search(ps, search) < 0 || ps_start_stream(ps) < 0 || ps_start_utt(ps) < 0) {
            return d;
        }
        ps_process_raw(ps, samples.data(), samples.size(), FALSE, TRUE);
        ps_end_utt(ps);
        int32 score = 0;
        const char* hyp = ps_get_hyp(ps, &score);
        if (!hyp || !*hyp) {
            return d;
        }
        d.found = true;
        d.score = kScoreScale * logmath_log_to_ln(ps_get_logmath(ps), score);
        for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
            if (!IsFiller(ps_seg_word(seg))) {
                int sf = 0, ef = 0;
                ps_seg_frames(seg, &sf, &ef);
                d.wordFrames += std::max(0, ef - sf + 1);
            }
        }
        return d;
    }
};

Recogniser::Recogniser(std::unique_ptr<Impl> impl, RecogniserOptions options)
    : m_impl(std::move(impl)), m_options(std::move(options)) {}

Recogniser::~Recogniser() = default;

std::unique_ptr<Recogniser> Recogniser::Create(const RecogniserOptions& given, std::string* error) {
    RecogniserOptions options = given;
    const std::string root = SONAVIX_PS_MODEL_ROOT;
    if (options.modelDir.empty()) {
        options.modelDir = root + "/en-us";
    }
    if (options.dictionary.empty()) {
        options.dictionary = root + "/cmudict-en-us.dict";
    }
    // The library reports every step on stderr; a caller wants the verdict, not the log.
    err_set_logfp(nullptr);
    cmd_ln_t* config =
        cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", options.modelDir.c_str(), "-dict",
                    options.dictionary.c_str(), "-samprate", "16000",
                    // every senone scored, so that each search's scores share one reference
                    "-compallsen", "yes", "-logfn", "/dev/null", nullptr);
    if (!config) {
        if (error) {
            *error = "cannot configure the recogniser (model " + options.modelDir + ")";
        }
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->ps = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!impl->ps) {
        if (error) {
            *error = "cannot load the acoustic model from " + options.modelDir;
        }
        return nullptr;
    }
    if (!impl->MakePhoneLoop()) {
        if (error) {
            *error = "cannot set up the phone loop";
        }
        return nullptr;
    }
    return std::unique_ptr<Recogniser>(new Recogniser(std::move(impl), std::move(options)));
}

std::optional<std::string> Recogniser::Lookup(const std::string& word) {
    if (word.empty() || word.size() > 100) {
        return std::nullopt;
    }
    std::string lower = word;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    char* phones = ps_lookup_word(m_impl->ps, lower.c_str());
    if (!phones) {
        return std::nullopt;
    }
    std::string result = phones;
    ckd_free(phones);
    return NormalisePhones(result);
}

PairResult Recogniser::Decide(std::span<const int16_t> samples, const PairWord& a,
                              const PairWord& b) {
    PairResult r;
    auto resolve = [&](const PairWord& w) -> std::optional<std::string> {
        return w.phones.empty() ? Lookup(w.word) : NormalisePhones(w.phones);
    };
    const auto phonesA = resolve(a);
    const auto phonesB = resolve(b);
    if (!phonesA || !phonesB) {
        r.error = "no pronunciation for \"" + (phonesA ? b.word : a.word) + "\"";
        return r;
    }
    if (*phonesA == *phonesB) {
        r.error = "the two words are pronounced alike";
        return r;
    }
    if (samples.empty() || samples.size() > kMaxSamples) {
        r.error = samples.empty() ? "no audio" : "recording too long";
        return r;
    }
    std::string nameA, nameB;
    if (!m_impl->EnsureSearch(*phonesA, nameA) || !m_impl->EnsureSearch(*phonesB, nameB)) {
        r.error = "the recogniser refused a pronunciation";
        return r;
    }
    const Decoded da = m_impl->Run(nameA.c_str(), samples);
    const Decoded db = m_impl->Run(nameB.c_str(), samples);
    const Decoded loop = m_impl->Run(kLoopSearch, samples);
    r.frames = ps_get_n_frames(m_impl->ps);
    if (!da.found && !db.found) {
        r.scoreA = r.scoreB = kNegInf;
        return r;
    }
    // The words differ in a sound or two, so the difference is spread over the word's own
    // frames, not over the silence around it.
    const int wordFrames = std::max({1, da.wordFrames, db.wordFrames});
    r.scoreA = da.found ? da.score / wordFrames : kNegInf;
    r.scoreB = db.found ? db.score / wordFrames : kNegInf;
    if (!da.found || !db.found) {
        r.margin = da.found ? std::numeric_limits<double>::infinity()
                            : -std::numeric_limits<double>::infinity();
    } else {
        r.margin = r.scoreA - r.scoreB;
    }
    const double best = std::max(da.score, db.score);
    r.fit = loop.found ? (best - loop.score) / wordFrames : 0.0;
    if (r.fit < m_options.minFit || std::fabs(r.margin) < m_options.minMargin) {
        return r;
    }
    r.verdict = r.margin > 0 ? Verdict::A : Verdict::B;
    // Grows from 0.5 at the threshold towards 1 as the margin widens.
    const double excess = std::min(std::fabs(r.margin), 1e6) - m_options.minMargin;
    r.confidence = 1.0 - 0.5 * std::exp(-excess / kConfidenceScale);
    return r;
}

} // namespace sonavix::speech
