// sonavix-play FILE.mp3: plays the recording once through the sound device, as the trainer
// does. Exit status 1 when the file cannot be read or no device opens.
#include "ToolVersion.h"

#include "mplay/Player.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: sonavix-play FILE.mp3\n"
    "\n"
    "Plays an MPEG-1/MPEG-2 Layer III recording once through the default sound device, as the\n"
    "trainer does, and returns when it has been heard.\n"
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

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        sonavix::PrintToolVersion("sonavix-play");
        return 0;
    }
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fputs(kUsage, stderr);
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
