#include "drill/Schedule.h"

#include <algorithm>

namespace sonavix::drill {

std::map<std::string, ContrastStats> StatsFrom(const std::vector<Trial>& history) {
    std::map<std::string, ContrastStats> stats;
    std::map<std::string, std::pair<int64_t, std::pair<int, int>>> session; // id, right/total
    const auto closeSession = [&](const std::string& contrast) {
        auto it = session.find(contrast);
        if (it != session.end() && it->second.second.second > 0)
            stats[contrast].sessionAccuracy.push_back(double(it->second.second.first) /
                                                      it->second.second.second);
    };
    for (const Trial& t : history) {
        if (!t.correct)
            continue;
        ContrastStats& s = stats[t.contrast];
        auto it = session.find(t.contrast);
        if (it == session.end() || it->second.first != t.session) {
            closeSession(t.contrast);
            session[t.contrast] = {t.session, {0, 0}};
        }
        auto& [right, total] = session[t.contrast].second;
        ++total;
        ++s.trials;
        if (*t.correct) {
            ++right;
            ++s.right;
            s.box = std::min(kTopBox, std::max(1, s.box) + 1);
        } else {
            s.box = 1;
        }
    }
    for (const auto& [contrast, _] : session)
        closeSession(contrast);
    return stats;
}

std::vector<std::string> AutoRound(const std::vector<std::string>& all,
                                   const std::map<std::string, ContrastStats>& stats, int count,
                                   std::mt19937& rng) {
    std::vector<std::string> pool;
    std::vector<double> weights;
    int inBoxOne = 0;
    std::vector<std::string> unseen;
    for (const std::string& id : all) {
        auto it = stats.find(id);
        if (it == stats.end() || it->second.box == 0) {
            unseen.push_back(id);
            continue;
        }
        inBoxOne += it->second.box == 1;
        pool.push_back(id);
        weights.push_back(double(1 << (kTopBox - it->second.box)));
    }
    // New contrasts come in the content's order (it begins with the commonest troubles).
    const size_t introduce = inBoxOne > 3 ? (pool.empty() ? 1 : 0) : 2;
    for (size_t i = 0; i < std::min(introduce, unseen.size()); ++i) {
        pool.push_back(unseen[i]);
        weights.push_back(double(1 << (kTopBox - 1)));
    }
    std::vector<std::string> round;
    if (pool.empty())
        return round;
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    for (int i = 0; i < count; ++i)
        round.push_back(pool[pick(rng)]);
    return round;
}

std::vector<std::string> Weakest(const std::map<std::string, ContrastStats>& stats, size_t n) {
    std::vector<std::pair<std::string, const ContrastStats*>> drilled;
    for (const auto& [id, s] : stats)
        if (s.trials > 0)
            drilled.emplace_back(id, &s);
    std::stable_sort(drilled.begin(), drilled.end(), [](const auto& a, const auto& b) {
        if (a.second->box != b.second->box)
            return a.second->box < b.second->box;
        return a.second->Accuracy() < b.second->Accuracy();
    });
    std::vector<std::string> out;
    for (size_t i = 0; i < std::min(n, drilled.size()); ++i)
        out.push_back(drilled[i].first);
    return out;
}

} // namespace sonavix::drill
