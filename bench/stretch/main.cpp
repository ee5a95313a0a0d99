// sonavix-stretch: one recording through the player's stretching stage, as a pass would run it
// (decoder, StretchSink, TimeStretch), into memory instead of a device. Prints one JSON line:
// lengths, the CPU time of the stretching alone, and the work before a device would get its
// first sound; optionally writes what the device would have been given.
//
//   sonavix-stretch [--engine faster|finer|finer-short] [--speed S] [--runs N] IN.mp3 [OUT.wav]
#include "StretchSink.h"
#include "TimeStretch.h"
#include "WavWriter.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PlaySpeed.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Takes what would go to the device; notes when the device would have started (the wave output
// holds the first block back and starts at the second).
class RecordingSink final : public mplay::PcmSink {
  public:
    static constexpr uint32_t kCapacity = 0x50000 / 2;

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        if (++writes == 2) {
            secondWriteAt = Clock::now();
        }
        pcm.insert(pcm.end(), m_buffer.begin(), m_buffer.begin() + count);
        count = 0;
        return m_buffer.data();
    }

    std::vector<int16_t> pcm;
    int writes = 0;
    Clock::time_point secondWriteAt;

  private:
    std::vector<int16_t> m_buffer = std::vector<int16_t>(kCapacity + 10000);
};

const char* const kEngineNames[] = {"faster", "finer", "finer-short"};
const mplay::TimeStretch::Engine kEngines[] = {mplay::TimeStretch::Engine::Faster,
                                               mplay::TimeStretch::Engine::Finer,
                                               mplay::TimeStretch::Engine::FinerShort};

bool ParseEngine(const std::string& name, mplay::TimeStretch::Engine& engine) {
    for (size_t i = 0; i < std::size(kEngines); ++i) {
        if (name == kEngineNames[i]) {
            engine = kEngines[i];
            return true;
        }
    }
    return false;
}

const char* EngineName(mplay::TimeStretch::Engine engine) {
    for (size_t i = 0; i < std::size(kEngines); ++i) {
        if (engine == kEngines[i]) {
            return kEngineNames[i];
        }
    }
    return "?";
}

int Usage() {
    std::fprintf(
        stderr, "usage: sonavix-stretch [--engine faster|finer|finer-short] [--speed S] [--runs N] "
                "IN.mp3 "
                "[OUT.wav]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    mplay::TimeStretch::Engine engine = mplay::TimeStretch::kSpeechEngine;
    double speed = 0.5;
    int runs = 3;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--engine" && i + 1 < argc) {
            const std::string name = argv[++i];
            if (!ParseEngine(name, engine)) {
                return Usage();
            }
        } else if (arg == "--speed" && i + 1 < argc) {
            speed = mplay::PlaySpeed(std::atof(argv[++i]));
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() || files.size() > 2) {
        return Usage();
    }
    std::ifstream in(files[0], std::ios::binary);
    const std::vector<uint8_t> mp3{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
    auto stream = std::make_unique<mplay::MpegStream>();
    if (mp3.empty() || !stream->OpenMemory(mp3.data(), static_cast<uint32_t>(mp3.size()))) {
        std::fprintf(stderr, "cannot read %s\n", files[0].c_str());
        return 1;
    }
    const uint32_t rate = stream->GetSampleRate();
    const int channels = stream->GetMode() == 3 ? 1 : 2;

    RecordingSink plain;
    mplay::RunFrameLoop(*stream, plain);
    const size_t inFrames = plain.pcm.size() / 2;

    // The stretching alone, fed as the decoder feeds it, best of the runs.
    double cpu = 1e30;
    size_t outFrames = 0;
    uint64_t limited = 0;
    for (int run = 0; run < runs; ++run) {
        std::vector<int16_t> out(4096 * 2);
        const double start = ThreadSeconds();
        mplay::TimeStretch stretch(rate, channels, speed, engine);
        size_t pulled = 0;
        for (size_t pos = 0; pos < inFrames; pos += 1152) {
            const auto n = static_cast<uint32_t>(std::min<size_t>(1152, inFrames - pos));
            stretch.Push(plain.pcm.data() + 2 * pos, n);
            while (uint32_t got = stretch.Pull(out.data(), 4096)) {
                pulled += got;
            }
        }
        stretch.Finish();
        while (uint32_t got = stretch.Pull(out.data(), 4096)) {
            pulled += got;
        }
        cpu = std::min(cpu, ThreadSeconds() - start);
        outFrames = pulled;
        limited = stretch.LimitedValues();
    }

    // The whole stage as a pass runs it: decoding into the stretching, up to the point where
    // the device would get its first two blocks.
    double firstSoundMs = 1e30;
    RecordingSink device;
    for (int run = 0; run < runs; ++run) {
        device = RecordingSink{};
        const auto start = Clock::now();
        mplay::StretchSink sink(device, rate, channels, speed, nullptr, engine);
        mplay::RunFrameLoop(*stream, sink);
        firstSoundMs = std::min(
            firstSoundMs,
            std::chrono::duration<double, std::milli>(device.secondWriteAt - start).count());
    }
    if (files.size() == 2) {
        WavWriter wav;
        if (!wav.Open(files[1], WavWriter::Format::Pcm16, 2, rate) ||
            !wav.WritePcm16(device.pcm.data(), device.pcm.size()) || !wav.Finish()) {
            std::fprintf(stderr, "cannot write %s\n", files[1].c_str());
            return 1;
        }
    }
    const double inSeconds = static_cast<double>(inFrames) / rate;
    const double outSeconds = static_cast<double>(outFrames) / rate;
    std::printf(
        "{\"file\": \"%s\", \"engine\": \"%s\", \"speed\": %g, \"rate\": %u, "
        "\"channels\": %d, \"in_frames\": %zu, \"out_frames\": %zu, "
        "\"device_frames\": %zu, \"cpu_s\": %.6f, \"x_realtime_in\": %.1f, "
        "\"x_realtime_out\": %.1f, \"first_sound_work_ms\": %.2f, \"limited_values\": %llu}\n",
        files[0].c_str(), EngineName(engine), speed, rate, channels, inFrames, outFrames,
        device.pcm.size() / 2, cpu, inSeconds / cpu, outSeconds / cpu, firstSoundMs,
        static_cast<unsigned long long>(limited));
    return 0;
}
