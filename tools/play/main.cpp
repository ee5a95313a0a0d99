// sonavix-play FILE.mp3: plays the recording once through the sound device, as the trainer
// does. Exit status 1 when the file cannot be read or no device opens.
#include "mplay/Player.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::atomic<bool> g_deviceFailed{false};

void ReportDeviceFailure(const char* /*what*/) {
    g_deviceFailed.store(true);
    std::fprintf(stderr, "sonavix-play: cannot open the sound device\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.mp3\n", argv[0]);
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
