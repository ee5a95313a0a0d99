// sonavix-bench-practice: from the end of a recording to the practice window drawn, as the
// learner waits for it: the attempt analysed, kept on disk, the pictures and the vowel chart
// painted (offscreen). Best and median of several runs, wall time.
//   sonavix-bench-practice [--runs N] PROGRAM_DIR FILE.wav
#include "practice/DlgPractice.h"

#include "mplay/Recorder.h"
#include "speech/WavFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int runs = 20;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            args.emplace_back(argv[i]);
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: sonavix-bench-practice [--runs N] PROGRAM_DIR FILE.wav\n");
        return 2;
    }
    QApplication app(argc, argv);
    const auto wav = sonavix::speech::ReadWavFile(args[1]);
    if (!wav.ok || wav.sound.rate != mplay::Recorder::kSampleRate) {
        std::fprintf(stderr, "%s: want 16 kHz mono WAV\n", args[1].c_str());
        return 1;
    }
    mplay::Recording recording;
    recording.reason = mplay::StopReason::Endpointer;
    recording.heardSpeech = true;
    recording.peak = 16000;
    recording.samples = sonavix::speech::ToPcm16(wav.sound);

    QTemporaryDir home;
    sonavix::UserDirs user{home.path(), home.filePath("config"), home.filePath("data")};
    const auto paths = sonavix::ProgramPaths::Resolve(QString::fromStdString(args[0]) + "/", user,
                                                      [](const QString&) { return false; });
    sonavix::practice::DlgPractice window(paths, 7, 1.0);
    window.resize(980, 620);
    window.show();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        window.TakeRecording(recording);
        window.grab(); // paints every picture and the chart
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  end of speech to window drawn (%.2f s attempt): best %.1f ms, median %.1f ms\n",
                wav.sound.Duration(), ms.front(), ms[ms.size() / 2]);
    return 0;
}
