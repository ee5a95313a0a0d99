#include "drill/ListeningRound.h"

namespace sonavix::drill {

std::string PickVoice(const std::vector<std::string>& choices, const std::string& previous,
                      std::mt19937& rng) {
    std::vector<const std::string*> options;
    for (const std::string& v : choices)
        if (v != previous)
            options.push_back(&v);
    if (options.empty())
        return choices.empty() ? std::string() : choices.front();
    std::uniform_int_distribution<size_t> pick(0, options.size() - 1);
    return *options[pick(rng)];
}

ListeningRound::ListeningRound(const pairs::Manifest& manifest,
                               const std::vector<std::string>& contrasts, std::mt19937& rng,
                               const std::string& previousVoice) {
    std::string previous = previousVoice;
    const pairs::Pair* lastPair = nullptr;
    for (const std::string& id : contrasts) {
        const pairs::Contrast* contrast = manifest.FindContrast(id);
        if (!contrast)
            continue;
        std::vector<const pairs::Pair*> usable;
        for (const pairs::Pair& p : contrast->pairs)
            if (!p.voices.empty() && &p != lastPair)
                usable.push_back(&p);
        if (usable.empty())
            for (const pairs::Pair& p : contrast->pairs)
                if (!p.voices.empty())
                    usable.push_back(&p);
        if (usable.empty())
            continue;
        RoundTrial t;
        t.contrast = id;
        t.pair = usable[std::uniform_int_distribution<size_t>(0, usable.size() - 1)(rng)];
        t.playB = std::bernoulli_distribution(0.5)(rng);
        t.voice = PickVoice(t.pair->voices, previous, rng);
        previous = t.voice;
        lastPair = t.pair;
        m_trials.push_back(std::move(t));
    }
}

bool ListeningRound::Answer(bool choseB, int responseMs) {
    if (Finished())
        return false;
    RoundTrial& t = m_trials[m_current];
    if (!t.answered) {
        t.answered = true;
        t.choseB = choseB;
        t.responseMs = responseMs;
    }
    return t.Right();
}

void ListeningRound::Advance() {
    if (!Finished() && m_trials[m_current].answered)
        ++m_current;
}

RoundSummary ListeningRound::Summary() const {
    RoundSummary s;
    double totalMs = 0;
    for (const RoundTrial& t : m_trials) {
        if (!t.answered)
            continue;
        ContrastSummary& c = s.perContrast[t.contrast];
        ++c.total;
        ++s.total;
        c.right += t.Right();
        s.right += t.Right();
        totalMs += t.responseMs;
    }
    s.meanResponseMs = s.total ? totalMs / s.total : 0;
    return s;
}

} // namespace sonavix::drill
