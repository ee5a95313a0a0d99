// sonavix-play [--speed S] FILE.mp3: plays the recording once through the sound device, as the
// trainer does; S below 1 plays it slower with its pitch kept. Exit status 1 when the file
// cannot be read or no device opens.
// sonavix-play --record OUT.wav [--seconds N]: records from the default input, until the speech
// has ended or for N seconds, into a 16 kHz mono WAV file.
#include "ToolVersion.h"
#include "record.h"

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

const char kUsage[] =
    "Usage: sonavix-play [--speed S] FILE.mp3\n"
    "       sonavix-play --record OUT.wav [--seconds N]\n"
    "\n"
    "Plays an MPEG-1/MPEG-2 Layer III recording once through the default sound device, as the\n"
    "trainer does, and returns when it has been heard.\n"
    "\n"
    "  --speed S  play at S times the recorded speed, from 0.25 to 2 (default 1); below 1, for\n"
    "             example 0.75 or 0.5, slower with the pitch kept\n"
    "\n"
    "With --record, records from the default input device as the trainer does: until about\n"
    "0.7 s of silence after speech (at most 8 s), trimmed to 0.1 s of silence at each end; or,\n"
    "with --seconds, for N seconds untrimmed. Writes 16-bit mono WAV at 16 kHz.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 when played, 1 when the file cannot be read or no sound device opens,\n"
    "2 for bad usage.\n";

std::atomic<bool> g_deviceFailed{false};

void ReportDeviceFailure(const char* /*what*/) {
    g_deviceFailed.store(true);
    std::fprintf(stderr, "sonavix-play: cannot open the sound device\n");
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

int BadUsage() {
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--record") == 0) {
        const int status = RunRecord(argc - 2, argv + 2);
        if (status == 2) {
            std::fputs(kUsage, stderr);
        }
        return status;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        sonavix::PrintToolVersion("sonavix-play");
        return 0;
    }
    double speed = mplay::kNormalSpeed;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--speed") == 0) {
            if (i + 1 >= argc || !ParseSpeed(argv[++i], speed)) {
                return BadUsage();
            }
        } else if (file == nullptr && (argv[i][0] != '-' || argv[i][1] == '\0')) {
            file = argv[i];
        } else {
            return BadUsage();
        }
    }
    if (file == nullptr) {
        return BadUsage();
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
