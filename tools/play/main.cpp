// sonavix-play [--speed S] FILE.mp3: plays the recording once through the sound device, as the
// trainer does; S (default 1) below 1 plays it slower with its pitch kept. Exit status 1 when
// the file cannot be read or no device opens, 2 for bad usage.
#include "mplay/PlaySpeed.h"
#include "mplay/Player.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::atomic<bool> g_deviceFailed{false};

void ReportDeviceFailure(const char* text) {
    g_deviceFailed.store(true);
    std::fprintf(stderr, "%s\n", text);
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--speed S] FILE.mp3   (S from %g to %g, default 1)\n", program,
                 mplay::kSlowestSpeed, mplay::kFastestSpeed);
    return 2;
}

// A number within the speeds the player takes, else false.
bool ParseSpeed(const char* text, double& speed) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value) ||
        value < mplay::kSlowestSpeed || value > mplay::kFastestSpeed) {
        return false;
    }
    speed = value;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    double speed = mplay::kNormalSpeed;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--speed") == 0) {
            if (i + 1 >= argc || !ParseSpeed(argv[++i], speed)) {
                return Usage(argv[0]);
            }
        } else if (file == nullptr && (argv[i][0] != '-' || argv[i][1] == '\0')) {
            file = argv[i];
        } else {
            return Usage(argv[0]);
        }
    }
    if (file == nullptr) {
        return Usage(argv[0]);
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file);
        return 1;
    }
    const std::vector<uint8_t> image{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    if (in.bad() || image.size() > UINT32_MAX) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file);
        return 1;
    }
    mplay::SetDeviceFailureMessage(&ReportDeviceFailure);
    mplay::PlayMemory(image.data(), static_cast<uint32_t>(image.size()), nullptr, speed);
    return g_deviceFailed.load() ? 1 : 0;
}
