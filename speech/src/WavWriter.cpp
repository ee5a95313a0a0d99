// Mono 16-bit WAV encoding, and the atomic write that keeps a learner's attempts whole.
#include "speech/WavFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace sonavix::speech {
namespace {

// Writes little-endian at a fixed place (appending with insert trips a GCC 12 false warning).
void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}
void PutTag(uint8_t* p, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(tag[i]);
    }
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::vector<uint8_t> EncodeWav16(const Sound& sound) {
    // A RIFF size field is 32 bits; longer sounds are cut to what it can describe.
    const size_t maxSamples = (0xFFFFFFFFu - 36u) / 2u;
    const size_t count = std::min(sound.samples.size(), maxSamples);
    const uint32_t dataBytes = static_cast<uint32_t>(count * 2);
    // The header cannot hold a rate outside this; a nonsensical one is written as 16 kHz.
    const uint32_t rate = sound.rate >= 1.0 && sound.rate <= 384000.0
                              ? static_cast<uint32_t>(std::lround(sound.rate))
                              : 16000u;
    std::vector<uint8_t> out(44 + static_cast<size_t>(dataBytes));
    uint8_t* p = out.data();
    PutTag(p, "RIFF");
    Put32(p + 4, 36 + dataBytes);
    PutTag(p + 8, "WAVE");
    PutTag(p + 12, "fmt ");
    Put32(p + 16, 16);
    Put16(p + 20, 1); // PCM
    Put16(p + 22, 1); // mono
    Put32(p + 24, rate);
    Put32(p + 28, rate * 2);
    Put16(p + 32, 2);
    Put16(p + 34, 16);
    PutTag(p + 36, "data");
    Put32(p + 40, dataBytes);
    for (size_t i = 0; i < count; ++i) {
        Put16(p + 44 + 2 * i, static_cast<uint16_t>(ToPcm16(sound.samples[i])));
    }
    return out;
}

bool WriteWavFileAtomic(const std::string& path, const Sound& sound) {
    const std::vector<uint8_t> bytes = EncodeWav16(sound);
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = std::rename(tmp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
    }
    return ok;
}

} // namespace sonavix::speech
