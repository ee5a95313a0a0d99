// sonavix-bench-analysis: time of the practice window's whole analysis of one recording
// (endpoints, pitch, formants, spectrogram, figures), stage by stage, best of several runs.
//   sonavix-bench-analysis [--runs N] [--voice male|female|child] [--whole] FILE.wav
#include "speech/Analysis.h"
#include "speech/Formants.h"
#include "speech/Pitch.h"
#include "speech/Resample.h"
#include "speech/Spectrogram.h"
#include "speech/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <time.h>

namespace {

// The thread's own processor time: other work on a shared machine does not count against it.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double t0 = CpuMs();
        work();
        best = std::min(best, CpuMs() - t0);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 20;
    sonavix::speech::AnalysisOptions options;
    std::string path;
    bool wholeOnly = false; // for profiling the whole analysis alone
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--voice" && i + 1 < argc) {
            sonavix::speech::ParseVoice(argv[++i], options.voice);
        } else if (arg == "--whole") {
            wholeOnly = true;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::fputs("usage: sonavix-bench-analysis [--runs N] [--voice V] FILE.wav\n", stderr);
        return 2;
    }
    const auto wav = sonavix::speech::ReadWavFile(path);
    if (!wav.ok) {
        std::fprintf(stderr, "sonavix-bench-analysis: %s: %s\n", path.c_str(), wav.error.c_str());
        return 1;
    }
    const auto& sound = wav.sound;
    const double ceiling = sonavix::speech::FormantCeiling(options.voice);
    const auto low = sonavix::speech::Resample(sound, 2.0 * ceiling);
    const auto pitch = sonavix::speech::AnalysePitch(low);
    sonavix::speech::FormantSettings fs;
    fs.maxFormant = ceiling;

    std::printf("%s: %.2f s at %.0f Hz, processor time, best of %d runs\n", path.c_str(),
                sound.Duration(), sound.rate, runs);
    if (wholeOnly) {
        std::printf("  whole analysis      %7.2f ms\n",
                    BestMs(runs, [&] { (void)sonavix::speech::Analyse(sound, options); }));
        return 0;
    }
    std::printf("  resample to %.0f Hz  %7.2f ms\n", 2.0 * ceiling,
                BestMs(runs, [&] { (void)sonavix::speech::Resample(sound, 2.0 * ceiling); }));
    std::printf("  pitch               %7.2f ms\n",
                BestMs(runs, [&] { (void)sonavix::speech::AnalysePitch(low); }));
    std::printf("  formants (all)      %7.2f ms\n",
                BestMs(runs, [&] { (void)sonavix::speech::AnalyseFormants(low, fs, &pitch); }));
    std::printf("  spectrogram         %7.2f ms\n",
                BestMs(runs, [&] { (void)sonavix::speech::AnalyseSpectrogram(low); }));
    std::printf("  whole analysis      %7.2f ms\n",
                BestMs(runs, [&] { (void)sonavix::speech::Analyse(sound, options); }));
    return 0;
}
