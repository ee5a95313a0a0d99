// RIFF WAVE reader. Every field comes from untrusted bytes: each read is checked against the end
// of the buffer, chunk sizes are clamped to what is there, and nothing is allocated beyond the
// size of the input.
#include "speech/WavFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sonavix::speech {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint16_t kMaxChannels = 16;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Format {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    uint16_t blockAlign = 0;
};

WavReadResult Fail(const char* why) {
    WavReadResult r;
    r.error = why;
    return r;
}

float Decode(const uint8_t* p, const Format& f) {
    switch (f.bits) {
    case 8:
        return static_cast<float>(static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<float>(static_cast<int16_t>(Le16(p))) / 32768.0f;
    case 24: {
        int32_t v = static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        if (v & 0x800000) {
            v -= 0x1000000;
        }
        return static_cast<float>(v) / 8388608.0f;
    }
    default: {
        const uint32_t u = Le32(p);
        if (f.tag == kFormatFloat) {
            float v;
            std::memcpy(&v, &u, sizeof v);
            // NaN and infinities would poison every later sum.
            return (v == v && v < 8.0f && v > -8.0f) ? v : 0.0f;
        }
        return static_cast<float>(static_cast<int32_t>(u) / 2147483648.0);
    }
    }
}

bool ParseFormat(const uint8_t* p, uint32_t size, Format& f) {
    if (size < 16) {
        return false;
    }
    f.tag = Le16(p);
    f.channels = Le16(p + 2);
    f.rate = Le32(p + 4);
    f.blockAlign = Le16(p + 12);
    f.bits = Le16(p + 14);
    if (f.tag == kFormatExtensible) {
        if (size < 40) {
            return false;
        }
        f.tag = Le16(p + 24); // the sub-format GUID starts with the plain format tag
    }
    return true;
}

} // namespace

WavReadResult ReadWav(std::span<const uint8_t> bytes) {
    const uint8_t* data = bytes.data();
    const size_t size = bytes.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        return Fail("not a RIFF WAVE file");
    }
    Format format;
    bool haveFormat = false;
    const uint8_t* samples = nullptr;
    size_t sampleBytes = 0;
    size_t pos = 12;
    while (size - pos >= 8) {
        const uint8_t* id = data + pos;
        const size_t claimed = Le32(data + pos + 4);
        pos += 8;
        const size_t body = std::min(claimed, size - pos);
        if (std::memcmp(id, "fmt ", 4) == 0 && !haveFormat) {
            if (!ParseFormat(data + pos, static_cast<uint32_t>(body), format)) {
                return Fail("format chunk too short");
            }
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !samples) {
            samples = data + pos;
            sampleBytes = body;
        }
        // Chunks are padded to an even length; stop cleanly at the end of the bytes.
        const size_t step = claimed + (claimed & 1);
        if (step >= size - pos) {
            break;
        }
        pos += step;
    }
    if (!haveFormat) {
        return Fail("no format chunk");
    }
    if (!samples) {
        return Fail("no data chunk");
    }
    const bool intOk = format.tag == kFormatPcm && (format.bits == 8 || format.bits == 16 ||
                                                    format.bits == 24 || format.bits == 32);
    const bool floatOk = format.tag == kFormatFloat && format.bits == 32;
    if (!intOk && !floatOk) {
        return Fail("unsupported sample format");
    }
    if (format.channels == 0 || format.channels > kMaxChannels) {
        return Fail("unsupported channel count");
    }
    if (format.rate < 1000 || format.rate > 384000) {
        return Fail("unsupported sample rate");
    }
    // The block alignment in the header is not trusted: the frame size follows from the rest.
    const size_t bytesPerSample = format.bits / 8u;
    const size_t frameBytes = bytesPerSample * format.channels;
    const size_t frames = sampleBytes / frameBytes;

    WavReadResult r;
    r.ok = true;
    r.sound.rate = format.rate;
    r.sound.samples.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* frame = samples + i * frameBytes;
        float sum = 0.0f;
        for (size_t c = 0; c < format.channels; ++c) {
            sum += Decode(frame + c * bytesPerSample, format);
        }
        r.sound.samples[i] = sum / static_cast<float>(format.channels);
    }
    return r;
}

WavReadResult ReadWavFile(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        return Fail("cannot open the file");
    }
    // A regular file's size is known at once; the loop below still bounds a pipe or a file that
    // grows while it is read.
    if (std::fseek(in, 0, SEEK_END) == 0) {
        const long end = std::ftell(in);
        if (end > static_cast<long>(kMaxWavFileBytes)) {
            std::fclose(in);
            return Fail("file too large");
        }
        std::rewind(in);
    }
    std::vector<uint8_t> bytes;
    uint8_t block[1 << 16];
    size_t got;
    bool tooLarge = false;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        if (bytes.size() + got > kMaxWavFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (tooLarge) {
        return Fail("file too large");
    }
    if (failed) {
        return Fail("cannot read the file");
    }
    return ReadWav(bytes);
}

} // namespace sonavix::speech
