// The playback workers. Every request starts one; the newest request wins: it asks the pass in
// progress (or a recording) to stop, waits until that pass has left PlayMemory, then plays,
// while a worker whose request has been overtaken ends without playing. At most one pass is ever
// inside PlayMemory or PlaySamples, which the shared stream reader and completion signal
// require; the sound turn that orders them is shared with the recorder.
#include "mplay/PlayThread.h"

#include "SoundTurn.h"
#include "mplay/Player.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace mplay {

std::atomic<int> g_bRepeat{0};

namespace {

std::atomic<PlayRequestHook> g_requestHook{nullptr};
std::atomic<SpeedRequestHook> g_speedRequestHook{nullptr};
std::atomic<SamplesRequestHook> g_samplesRequestHook{nullptr};
std::atomic<int> g_runningWorkers{0};

constexpr int kPauseSteps = 10;
constexpr auto kPauseStep = std::chrono::milliseconds(100);

// The file image is followed by one zero byte. False on any failure, which ends the worker
// silently.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& image) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return false;
    }
    const long length = std::ftell(file.get());
    // The pipeline takes a 32-bit size.
    if (length < 0 || static_cast<unsigned long>(length) >= UINT32_MAX ||
        std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return false;
    }
    try {
        image.assign(static_cast<size_t>(length) + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t wanted = static_cast<size_t>(length);
    return std::fread(image.data(), 1, wanted, file.get()) == wanted;
}

// Runs play(stop flag) once the request's turn has come. False when a newer request has
// overtaken this one, before or during the pass.
template <class Play> bool TakeTurn(uint64_t request, Play&& play) {
    std::lock_guard pass(SoundTurnMutex());
    if (!BeginSoundTurn(request)) {
        return false;
    }
    play(&SoundTurnStopFlag());
    return IsNewestSoundRequest(request);
}

bool PlayPass(const std::vector<uint8_t>& image, uint64_t request, double speed) {
    return TakeTurn(request, [&](const std::atomic<bool>* stop) {
        PlayMemory(image.data(), static_cast<uint32_t>(image.size() - 1), stop, speed);
    });
}

// False when a newer request has overtaken this one.
bool Pause(uint64_t request) {
    for (int step = 0; step < kPauseSteps; ++step) {
        if (g_bRepeat.load() == 0) {
            return true;
        }
        if (!IsNewestSoundRequest(request)) {
            return false;
        }
        std::this_thread::sleep_for(kPauseStep);
    }
    return true;
}

void PlayFile(std::unique_ptr<std::string> path, uint64_t request, double speed) {
    std::vector<uint8_t> image;
    if (!ReadWholeFile(*path, image)) {
        return;
    }
    if (g_bRepeat.load() == 0 && !PlayPass(image, request, speed)) {
        return;
    }
    // Repetition switched on during a single pass carries on from here without a pause.
    while (g_bRepeat.load() != 0) {
        if (!PlayPass(image, request, speed) || !Pause(request)) {
            return;
        }
    }
}

// Takes a request and runs work(request) on a detached worker, counted while it lives. work
// moves what it owns into its own scope, so that it is freed before the worker is counted out.
template <class Work> void StartWorker(Work work) {
    const uint64_t request = TakeSoundRequest();
    ++g_runningWorkers;
    try {
        std::thread(
            [](Work owned, uint64_t taken) {
                std::move(owned)(taken);
                --g_runningWorkers;
            },
            std::move(work), request)
            .detach();
    } catch (...) {
        --g_runningWorkers;
        // No thread to be had (or no memory for what it would own): the request is dropped,
        // silently like every other playback failure.
    }
}

} // namespace

void PlayThreadProc(std::string* path, double speed) {
    std::unique_ptr<std::string> owned(path);
    if (!owned) {
        return;
    }
    ++g_runningWorkers;
    PlayFile(std::move(owned), TakeSoundRequest(), speed);
    --g_runningWorkers;
}

void StartPlayWorker(const std::string& path, double speed) {
    if (SpeedRequestHook hook = g_speedRequestHook.load()) {
        hook(path, speed);
        return;
    }
    if (PlayRequestHook hook = g_requestHook.load()) {
        hook(path);
        return;
    }
    try {
        StartWorker([owned = std::make_unique<std::string>(path), speed](uint64_t request) mutable {
            PlayFile(std::move(owned), request, speed);
        });
    } catch (const std::bad_alloc&) {
        // No memory for the path: dropped like a request without a thread.
    }
}

void StartSamplesWorker(std::vector<int16_t> mono, uint32_t rate, double speed) {
    if (SamplesRequestHook hook = g_samplesRequestHook.load()) {
        hook(mono, rate, speed);
        return;
    }
    StartWorker([samples = std::move(mono), rate, speed](uint64_t request) mutable {
        const std::vector<int16_t> owned = std::move(samples);
        TakeTurn(request, [&](const std::atomic<bool>* stop) {
            PlaySamples(owned.data(), owned.size(), rate, stop, speed);
        });
    });
}

int RunningWorkerCount() {
    return g_runningWorkers.load();
}

void SetPlayRequestHook(PlayRequestHook hook) {
    g_requestHook.store(hook);
}

void SetSpeedRequestHook(SpeedRequestHook hook) {
    g_speedRequestHook.store(hook);
}

void SetSamplesRequestHook(SamplesRequestHook hook) {
    g_samplesRequestHook.store(hook);
}

} // namespace mplay
