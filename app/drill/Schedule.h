#pragma once
// Which contrasts a round drills: a Leitner box per contrast, replayed from the stored history
// (a miss sends it back to box 1, a hit moves it up one), and rounds drawn so that the contrasts
// in low boxes come back most often and an unseen one is brought in now and then.
#include "drill/ProgressStore.h"

#include <map>
#include <random>
#include <string>
#include <vector>

namespace sonavix::drill {

constexpr int kTopBox = 5;

struct ContrastStats {
    int box = 0; // 0: never drilled
    int trials = 0;
    int right = 0;
    // Accuracy of each session that drilled the contrast, oldest first.
    std::vector<double> sessionAccuracy;
    double Accuracy() const { return trials ? double(right) / trials : 0; }
};

// Trials whose answer was not sure leave the box where it is.
std::map<std::string, ContrastStats> StatsFrom(const std::vector<Trial>& history);

// count contrast ids for a round, drawn from all (the content's order) by weight: box 1 eight
// times as often as box 4, box 5 rarest. At most two unseen contrasts are introduced per round,
// and only while no more than three contrasts sit in box 1, so that a learner is not swamped.
std::vector<std::string> AutoRound(const std::vector<std::string>& all,
                                   const std::map<std::string, ContrastStats>& stats, int count,
                                   std::mt19937& rng);

// The weakest contrasts drilled so far: lowest box, then lowest accuracy.
std::vector<std::string> Weakest(const std::map<std::string, ContrastStats>& stats, size_t n);

} // namespace sonavix::drill
