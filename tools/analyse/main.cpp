// sonavix-analyse: voice activity, pitch, formants and the learner's figures for one recording,
// a WAV file or an MPEG audio Layer III file decoded by the player's own decoder.
#include "Mp3Input.h"
#include "Report.h"
#include "ToolVersion.h"

#include "speech/Analysis.h"
#include "speech/WavFile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: sonavix-analyse [--json] [--voice male|female|child] FILE.(wav|mp3)\n"
    "Finds the speech in a recording and prints its duration, onset and offset, F0 median and\n"
    "range, voiced fraction, spectral centre of gravity, and F1-F3 at 20, 50 and 80 % of each\n"
    "voiced segment.\n"
    "  --json     one JSON object instead of lines of text\n"
    "  --voice    formant ceiling: male 5000 Hz (default), female 5500 Hz, child 6500 Hz\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "Exit status: 0 on success, 1 when the file cannot be read, 2 for bad usage.\n";

bool ReadAll(const std::string& path, std::vector<uint8_t>& data) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        return false;
    }
    uint8_t block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        if (data.size() + got > sonavix::speech::kMaxWavFileBytes) {
            std::fclose(in);
            return false;
        }
        data.insert(data.end(), block, block + got);
    }
    const bool ok = !std::ferror(in);
    std::fclose(in);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    bool json = false;
    sonavix::speech::AnalysisOptions options;
    options.spectrogram = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            sonavix::PrintToolVersion("sonavix-analyse");
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--voice" && i + 1 < argc) {
            if (!sonavix::speech::ParseVoice(argv[++i], options.voice)) {
                std::fprintf(stderr, "sonavix-analyse: unknown voice %s\n%s", argv[i], kUsage);
                return 2;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "sonavix-analyse: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else if (path.empty()) {
            path = arg;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (path.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<uint8_t> bytes;
    if (!ReadAll(path, bytes)) {
        std::fprintf(stderr, "sonavix-analyse: cannot read %s\n", path.c_str());
        return 1;
    }
    sonavix::speech::Sound sound;
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0) {
        sonavix::speech::WavReadResult r = sonavix::speech::ReadWav(bytes);
        if (!r.ok) {
            std::fprintf(stderr, "sonavix-analyse: %s: %s\n", path.c_str(), r.error.c_str());
            return 1;
        }
        sound = std::move(r.sound);
    } else if (!DecodeMp3(bytes, sound)) {
        std::fprintf(stderr, "sonavix-analyse: %s: neither a WAV file nor MPEG audio\n",
                     path.c_str());
        return 1;
    }
    const sonavix::speech::Analysis a = sonavix::speech::Analyse(sound, options);
    if (json) {
        PrintJson(stdout, a);
    } else {
        PrintPlain(stdout, a);
    }
    return 0;
}
