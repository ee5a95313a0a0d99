// sonavix-play FILE.mp3: plays the recording once through the sound device, as the trainer
// does. Exit status 1 when the file cannot be read or no device opens.
// sonavix-play --record OUT.wav [--seconds N]: records from the default input, until the speech
// has ended or for N seconds, into a 16 kHz mono WAV file.
#include "mplay/Player.h"
#include "record.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

std::atomic<bool> g_deviceFailed{false};

void ReportDeviceFailure(const char* text) {
    g_deviceFailed.store(true);
    std::fprintf(stderr, "%s\n", text);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--record") {
        const int status = RunRecord(argc - 2, argv + 2);
        if (status == 2) {
            std::fprintf(stderr, "usage: %s --record OUT.wav [--seconds N]\n", argv[0]);
        }
        return status;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.mp3 | --record OUT.wav [--seconds N]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    const std::vector<uint8_t> image{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    if (in.bad() || image.size() > UINT32_MAX) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    mplay::SetDeviceFailureMessage(&ReportDeviceFailure);
    mplay::PlayMemory(image.data(), static_cast<uint32_t>(image.size()));
    return g_deviceFailed.load() ? 1 : 0;
}
