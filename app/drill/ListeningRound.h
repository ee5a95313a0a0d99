#pragma once
// One round of the listening drill, free of the window: which word of which pair is played in
// which voice, the learner's answers, and the round's summary.
#include "pairs/PairManifest.h"

#include <map>
#include <random>
#include <string>
#include <vector>

namespace sonavix::drill {

constexpr int kRoundLength = 20;

struct RoundTrial {
    std::string contrast;
    const pairs::Pair* pair = nullptr;
    bool playB = false; // the word played is pair->b
    std::string voice;
    // Filled in by the answer.
    bool answered = false;
    bool choseB = false;
    int responseMs = 0;

    const std::string& Played() const { return playB ? pair->b : pair->a; }
    const std::string& Chosen() const { return choseB ? pair->b : pair->a; }
    bool Right() const { return answered && choseB == playB; }
};

struct ContrastSummary {
    int right = 0;
    int total = 0;
};

struct RoundSummary {
    std::map<std::string, ContrastSummary> perContrast;
    int right = 0;
    int total = 0;
    double meanResponseMs = 0;
};

class ListeningRound {
  public:
    // contrasts: one id per trial (repeats allowed); ids the manifest lacks and pairs with no
    // voice are skipped. previousVoice: the last voice heard before this round.
    ListeningRound(const pairs::Manifest& manifest, const std::vector<std::string>& contrasts,
                   std::mt19937& rng, const std::string& previousVoice = {});

    const std::vector<RoundTrial>& Trials() const { return m_trials; }
    size_t Current() const { return m_current; }
    bool Finished() const { return m_current >= m_trials.size(); }
    const RoundTrial* CurrentTrial() const { return Finished() ? nullptr : &m_trials[m_current]; }
    // Answers the current trial; returns whether it was right. No effect once finished.
    bool Answer(bool choseB, int responseMs);
    // Moves to the next trial after an answer.
    void Advance();

    RoundSummary Summary() const;

  private:
    std::vector<RoundTrial> m_trials;
    size_t m_current = 0;
};

// A voice from choices, never previous unless it is the only one.
std::string PickVoice(const std::vector<std::string>& choices, const std::string& previous,
                      std::mt19937& rng);

} // namespace sonavix::drill
