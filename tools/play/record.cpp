#include "record.h"

#include "mplay/Recorder.h"
#include "speech/WavFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* ErrorText(mplay::RecordError error) {
    switch (error) {
    case mplay::RecordError::None:
        return "none";
    case mplay::RecordError::NoDevice:
        return "no input device";
    case mplay::RecordError::PermissionDenied:
        return "no permission to use the input device";
    case mplay::RecordError::DeviceBusy:
        return "the input device is busy";
    case mplay::RecordError::OpenFailed:
        return "the input device did not open";
    case mplay::RecordError::DeviceLost:
        return "the input device was lost";
    }
    return "unknown";
}

const char* ReasonText(mplay::StopReason reason) {
    switch (reason) {
    case mplay::StopReason::NotStarted:
        return "not started";
    case mplay::StopReason::Endpointer:
        return "end of speech";
    case mplay::StopReason::Cap:
        return "length cap";
    case mplay::StopReason::Stopped:
        return "stopped";
    case mplay::StopReason::Superseded:
        return "another sound was requested";
    case mplay::StopReason::DeviceLost:
        return "device lost";
    }
    return "unknown";
}

// Written beside the target and renamed over it, so that no half file is ever left.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate) {
    return sonavix::speech::WriteWavFileAtomic(path, sonavix::speech::FromPcm16(samples, rate));
}

} // namespace

int RunRecord(int argc, char** argv) {
    std::string out;
    mplay::RecordOptions options;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            // A fixed length: no endpointing and no trimming.
            const double seconds = std::atof(argv[++i]);
            if (!(seconds > 0 && seconds <= 600)) {
                return 2;
            }
            options.useEndpointer = false;
            options.trim = false;
            options.maxLength = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        } else if (out.empty() && argv[i][0] != '-') {
            out = argv[i];
        } else {
            return 2;
        }
    }
    if (out.empty()) {
        return 2;
    }
    mplay::Recorder recorder;
    std::fprintf(stderr, "recording... (speak now)\n");
    const mplay::Recording r = recorder.Record(options);
    if (r.error != mplay::RecordError::None && r.samples.empty()) {
        std::fprintf(stderr, "%s\n", ErrorText(r.error));
        return 1;
    }
    std::fprintf(stderr,
                 "%.2f s at %u Hz (device %u Hz), ended by %s; speech %s, peak %d, %zu clipped, "
                 "first sample after %.1f ms%s%s\n",
                 static_cast<double>(r.samples.size()) / mplay::Recorder::kSampleRate,
                 mplay::Recorder::kSampleRate, r.deviceRate, ReasonText(r.reason),
                 r.heardSpeech ? "heard" : "not heard", r.peak, r.clippedSamples, r.firstSampleMs,
                 r.error != mplay::RecordError::None ? "; " : "",
                 r.error != mplay::RecordError::None ? ErrorText(r.error) : "");
    if (!WriteWav(out, r.samples, mplay::Recorder::kSampleRate)) {
        std::fprintf(stderr, "cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
