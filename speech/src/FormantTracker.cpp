// Formant tracking as dynamic programming over candidate assignments (McCandless 1974, "An
// algorithm for automatic formant extraction using linear prediction spectra", IEEE Trans. ASSP
// 22; costs as in Talkin 1987 and Praat's Formant: Track): a state gives F1..F3 a rising choice
// of the frame's candidates; its cost is distance from the reference and relative bandwidth, and
// moving between states costs the relative frequency change.
#include "speech/Formants.h"

#include <cmath>
#include <limits>

namespace sonavix::speech {
namespace {

constexpr double kMissingCost = 1.5; // per formant a frame cannot supply

using State = std::array<int, kTrackedFormants>; // candidate index per formant, -1 = none

std::vector<State> States(int n) {
    std::vector<State> out;
    if (n >= kTrackedFormants) {
        for (int a = 0; a < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                for (int c = b + 1; c < n; ++c) {
                    out.push_back({a, b, c});
                }
            }
        }
        return out;
    }
    // Too few candidates: they fill the lowest formants in order.
    State s{-1, -1, -1};
    for (int i = 0; i < n; ++i) {
        s[static_cast<std::size_t>(i)] = i;
    }
    out.push_back(s);
    return out;
}

} // namespace

void TrackFormants(FormantTrack& track, const TrackerSettings& ts) {
    const std::size_t frames = track.frames.size();
    if (frames == 0) {
        return;
    }
    std::vector<std::vector<State>> states(frames);
    std::vector<std::vector<double>> cost(frames);
    std::vector<std::vector<int>> from(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        const auto& cand = track.frames[f].candidates;
        states[f] = States(static_cast<int>(cand.size()));
        cost[f].assign(states[f].size(), 0.0);
        from[f].assign(states[f].size(), 0);
        for (std::size_t j = 0; j < states[f].size(); ++j) {
            double local = 0.0;
            for (std::size_t k = 0; k < kTrackedFormants; ++k) {
                const int c = states[f][j][k];
                if (c < 0) {
                    local += kMissingCost;
                    continue;
                }
                const Resonance& r = cand[static_cast<std::size_t>(c)];
                local +=
                    ts.frequencyCost * std::fabs(r.frequency - ts.reference[k]) / ts.reference[k];
                local += ts.bandwidthCost * r.bandwidth / r.frequency;
            }
            double best = f == 0 ? 0.0 : std::numeric_limits<double>::infinity();
            int arg = 0;
            if (f > 0) {
                const auto& pc = track.frames[f - 1].candidates;
                for (std::size_t i = 0; i < states[f - 1].size(); ++i) {
                    double trans = 0.0;
                    for (std::size_t k = 0; k < kTrackedFormants; ++k) {
                        const int a = states[f - 1][i][k], b = states[f][j][k];
                        if (a < 0 || b < 0) {
                            continue;
                        }
                        const double fa = pc[static_cast<std::size_t>(a)].frequency;
                        const double fb = cand[static_cast<std::size_t>(b)].frequency;
                        trans += ts.transitionCost * std::fabs(fa - fb) / (fa + fb);
                    }
                    const double v = cost[f - 1][i] + trans;
                    if (v < best) {
                        best = v;
                        arg = static_cast<int>(i);
                    }
                }
            }
            cost[f][j] = best + local;
            from[f][j] = arg;
        }
    }
    std::size_t j = 0;
    for (std::size_t i = 1; i < cost.back().size(); ++i) {
        if (cost.back()[i] < cost.back()[j]) {
            j = i;
        }
    }
    for (std::size_t f = frames; f-- > 0;) {
        FormantFrame& fr = track.frames[f];
        for (std::size_t k = 0; k < kTrackedFormants; ++k) {
            const int c = states[f][j][k];
            fr.formant[k] = c >= 0 ? fr.candidates[static_cast<std::size_t>(c)] : Resonance{};
        }
        j = static_cast<std::size_t>(from[f][j]);
    }
}

} // namespace sonavix::speech
