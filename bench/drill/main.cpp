// sonavix-bench-drill: the drill's two waits that are its own work, median and worst.
//   sonavix-bench-drill store [--trials N] DIR
//     a trial's write: ProgressStore::Add on a fresh DIR/progress.sqlite, as the drill calls it
//   sonavix-bench-drill decide [--runs N] LIST
//     the recogniser's decision once the recording has ended, the model loaded beforehand as the
//     drill keeps it; LIST as sonavix-recognise --batch reads it (WORD_A PHONES_A WORD_B
//     PHONES_B FILE, tab-separated), each file decided N times
#include "drill/ProgressStore.h"
#include "recognise/AudioInput.h"
#include "recognise/Recogniser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The thread's own processor time, apart from whatever else the machine is doing.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Worst(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}

int Store(int trials, const std::string& dir) {
    using namespace sonavix::drill;
    ProgressStore store(dir + "/progress.sqlite");
    if (!store.Saving()) {
        std::fprintf(stderr, "cannot open a store in %s: %s\n", dir.c_str(),
                     store.Notice().c_str());
        return 1;
    }
    Trial t;
    t.session = store.StartSession(DrillKind::Listen);
    t.contrast = "i-i:";
    t.voice = "festival-slt";
    std::vector<double> ms;
    for (int i = 0; i < trials; ++i) {
        t.timeMs = NowMs();
        t.word = i % 2 ? "sheep" : "ship";
        t.answer = i % 3 ? t.word : "ship";
        t.correct = t.answer == t.word;
        t.responseMs = 800 + i % 500;
        const auto start = Clock::now();
        if (!store.Add(t)) {
            std::fprintf(stderr, "trial %d not written: %s\n", i + 1, store.Notice().c_str());
            return 1;
        }
        ms.push_back(MsSince(start));
    }
    std::printf("  ProgressStore::Add, %d trials    median %6.2f ms   worst %6.2f ms\n", trials,
                Median(ms), Worst(ms));
    return 0;
}

struct Job {
    sonavix::speech::PairWord a, b;
    std::vector<int16_t> samples;
};

int Decide(int runs, const std::string& list) {
    using namespace sonavix::speech;
    std::ifstream in(list);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", list.c_str());
        return 1;
    }
    std::vector<Job> jobs;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');)
            f.push_back(part);
        if (f.size() != 5) {
            std::fprintf(stderr, "%s: need 5 tab-separated fields: %s\n", list.c_str(),
                         line.c_str());
            return 1;
        }
        std::string error;
        const auto audio = LoadAudioFile(f[4], &error);
        if (!audio) {
            std::fprintf(stderr, "%s: %s\n", f[4].c_str(), error.c_str());
            return 1;
        }
        jobs.push_back({{f[0], f[1]}, {f[2], f[3]}, ToRecogniserInput(*audio)});
    }
    if (jobs.empty()) {
        std::fprintf(stderr, "%s lists no recordings\n", list.c_str());
        return 1;
    }

    std::string error;
    const auto loadStart = Clock::now();
    auto rec = Recogniser::Create({}, &error);
    const double loadMs = MsSince(loadStart);
    if (!rec) {
        std::fprintf(stderr, "no recogniser: %s\n", error.c_str());
        return 1;
    }
    std::vector<double> wall, cpu, seconds;
    for (const Job& job : jobs)
        seconds.push_back(double(job.samples.size()) / Recogniser::kSampleRate);
    for (int run = 0; run < runs; ++run) {
        for (const Job& job : jobs) {
            const auto start = Clock::now();
            const double cpu0 = CpuMs();
            const PairResult r = rec->Decide(job.samples, job.a, job.b);
            cpu.push_back(CpuMs() - cpu0);
            wall.push_back(MsSince(start));
            if (!r.error.empty()) {
                std::fprintf(stderr, "%s/%s: %s\n", job.a.word.c_str(), job.b.word.c_str(),
                             r.error.c_str());
                return 1;
            }
        }
    }
    std::printf("  %zu recordings of %.2f s median (%.2f to %.2f s), each decided %d times\n",
                jobs.size(), Median(seconds), *std::min_element(seconds.begin(), seconds.end()),
                Worst(seconds), runs);
    std::printf("  Recogniser::Decide, wall time     median %6.1f ms   worst %6.1f ms\n",
                Median(wall), Worst(wall));
    std::printf("  Recogniser::Decide, its CPU time  median %6.1f ms   worst %6.1f ms\n",
                Median(cpu), Worst(cpu));
    std::printf("  model load (Recogniser::Create, once)    %6.1f ms\n", loadMs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string mode, target;
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--trials" || arg == "--runs") && i + 1 < argc)
            count = std::max(1, std::atoi(argv[++i]));
        else if (mode.empty())
            mode = arg;
        else
            target = arg;
    }
    if (mode == "store" && !target.empty())
        return Store(count ? count : 300, target);
    if (mode == "decide" && !target.empty())
        return Decide(count ? count : 3, target);
    std::fprintf(stderr, "usage: sonavix-bench-drill store [--trials N] DIR\n"
                         "       sonavix-bench-drill decide [--runs N] LIST\n");
    return 2;
}
