#include "AudioInput.h"

#include "Recogniser.h"
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PcmSink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace sonavix::speech {
namespace {

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool Fail(std::string* error, const char* why) {
    if (error) {
        *error = why;
    }
    return false;
}

bool ParseWav(std::span<const uint8_t> b, MonoAudio& out, std::string* error) {
    if (b.size() < 12 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        return Fail(error, "not a WAVE file");
    }
    uint16_t format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const uint8_t* chunk = b.data() + pos;
        const size_t declared = Le32(chunk + 4);
        const size_t body = pos + 8;
        // A data chunk cut short (a recording stopped mid-write) is read as far as it goes.
        const size_t size = std::min(declared, b.size() - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            format = Le16(chunk + 8);
            channels = Le16(chunk + 10);
            rate = Le32(chunk + 12);
            bits = Le16(chunk + 22);
            if (format == 0xFFFE && size >= 26) {
                format = Le16(chunk + 32); // extensible: the sub-format's first two bytes
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return Fail(error, "WAVE data before its format");
            }
            const bool isInt = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            const bool isFloat = format == 3 && bits == 32;
            if (!isInt && !isFloat) {
                return Fail(error, "unsupported WAVE sample format");
            }
            if (channels == 0 || channels > 64 || rate < 1000 || rate > 384000) {
                return Fail(error, "implausible WAVE channel count or sample rate");
            }
            const size_t bytesPer = bits / 8;
            const size_t frameBytes = bytesPer * channels;
            const size_t frames = size / frameBytes;
            out.rate = rate;
            out.samples.assign(frames, 0.0f);
            const uint8_t* p = b.data() + body;
            for (size_t f = 0; f < frames; ++f) {
                double sum = 0;
                for (size_t c = 0; c < channels; ++c, p += bytesPer) {
                    double v = 0;
                    if (isFloat) {
                        float x;
                        std::memcpy(&x, p, 4);
                        v = std::isfinite(x) ? x : 0.0;
                    } else if (bits == 8) {
                        v = (p[0] - 128) / 128.0;
                    } else if (bits == 16) {
                        v = static_cast<int16_t>(Le16(p)) / 32768.0;
                    } else if (bits == 24) {
                        const int32_t x = static_cast<int32_t>((p[0] << 8) | (p[1] << 16) |
                                                               (static_cast<uint32_t>(p[2]) << 24));
                        v = x / 2147483648.0;
                    } else {
                        v = static_cast<int32_t>(Le32(p)) / 2147483648.0;
                    }
                    sum += v;
                }
                out.samples[f] = static_cast<float>(sum / channels);
            }
            return true;
        }
        if (declared > b.size() - body) {
            break;
        }
        pos = body + declared + (declared & 1);
    }
    return Fail(error, "WAVE file without data");
}

// The frame loop always delivers interleaved stereo at the stream's rate.
class MixSink : public mplay::PcmSink {
  public:
    explicit MixSink(std::vector<float>& out) : m_out(out), m_buffer(kCapacity + kSpare) {}
    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        const uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(m_buffer.size()));
        for (uint32_t i = 0; i + 1 < n; i += 2) {
            m_out.push_back((m_buffer[i] + m_buffer[i + 1]) / 65536.0f);
        }
        count = 0;
        return m_buffer.data();
    }

  private:
    static constexpr uint32_t kCapacity = 16384;
    static constexpr uint32_t kSpare = 10000; // one frame beyond the capacity always fits
    std::vector<float>& m_out;
    std::vector<int16_t> m_buffer;
};

bool ParseMp3(std::span<const uint8_t> b, MonoAudio& out, std::string* error) {
    mplay::MpegStream stream;
    if (!stream.OpenMemory(b.data(), static_cast<uint32_t>(b.size()))) {
        return Fail(error, "neither WAVE nor MPEG audio");
    }
    out.rate = stream.GetSampleRate();
    if (out.rate < 8000) {
        return Fail(error, "MPEG audio without a usable sample rate");
    }
    MixSink sink(out.samples);
    mplay::RunFrameLoop(stream, sink);
    stream.Close();
    // The stream reader takes any bytes; only decoded frames make it audio.
    return !out.samples.empty() || Fail(error, "neither WAVE nor MPEG audio");
}

} // namespace

std::optional<MonoAudio> ParseAudio(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.size() > kMaxAudioFileBytes) {
        Fail(error, "file too large");
        return std::nullopt;
    }
    MonoAudio audio;
    const bool riff = bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0;
    if (!(riff ? ParseWav(bytes, audio, error) : ParseMp3(bytes, audio, error))) {
        return std::nullopt;
    }
    return audio;
}

std::optional<MonoAudio> LoadAudioFile(const std::string& path, std::string* error) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        Fail(error, "cannot open the file");
        return std::nullopt;
    }
    std::vector<uint8_t> data;
    uint8_t block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        data.insert(data.end(), block, block + got);
        if (data.size() > kMaxAudioFileBytes) {
            break;
        }
    }
    const bool ok = !std::ferror(in);
    std::fclose(in);
    if (!ok) {
        Fail(error, "cannot read the file");
        return std::nullopt;
    }
    return ParseAudio(data, error);
}

std::vector<float> Resample(std::span<const float> in, uint32_t from, uint32_t to) {
    if (from == to || in.empty() || from == 0 || to == 0) {
        return {in.begin(), in.end()};
    }
    const double ratio = static_cast<double>(to) / from;
    // Cut just below the lower Nyquist frequency; 16 zero crossings either side.
    const double cutoff = 0.95 * std::min(1.0, ratio);
    constexpr int kZeros = 16;
    const double halfWidth = kZeros / cutoff; // in input samples
    const size_t n = static_cast<size_t>(std::floor(in.size() * ratio));
    std::vector<float> out(n);
    const double pi = std::numbers::pi;
    for (size_t j = 0; j < n; ++j) {
        const double centre = j / ratio;
        const long first = std::max(0L, static_cast<long>(std::ceil(centre - halfWidth)));
        const long last = std::min(static_cast<long>(in.size()) - 1,
                                   static_cast<long>(std::floor(centre + halfWidth)));
        double sum = 0;
        for (long i = first; i <= last; ++i) {
            const double x = (i - centre) * cutoff;
            const double sinc = x == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
            const double w = 0.5 + 0.5 * std::cos(pi * x / kZeros); // Hann over the width
            sum += in[static_cast<size_t>(i)] * sinc * w;
        }
        out[j] = static_cast<float>(sum * cutoff);
    }
    return out;
}

std::vector<int16_t> ToRecogniserInput(const MonoAudio& audio) {
    const std::vector<float> at16k = Resample(audio.samples, audio.rate, Recogniser::kSampleRate);
    std::vector<int16_t> out(at16k.size());
    for (size_t i = 0; i < at16k.size(); ++i) {
        const double v = std::clamp(static_cast<double>(at16k[i]) * 32768.0, -32768.0, 32767.0);
        out[i] = static_cast<int16_t>(std::lrint(v));
    }
    return out;
}

} // namespace sonavix::speech
