// sonavix-decode: decodes an MPEG audio Layer III file with the player's own frame loop and
// writes a WAV file: 16-bit stereo as the sound device would get it, or, with --float, the
// synthesis output before conversion (divided by 32767) as 32-bit float for accuracy checks.
#include "ToolVersion.h"
#include "WavWriter.h"

#include "mplay/DecoderWidth.h"
#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace {

constexpr uint32_t kFallbackRate = 44100;

const char kUsage[] =
    "Usage: sonavix-decode [--float] IN.mp3 OUT.wav\n"
    "       sonavix-decode --kernels\n"
    "\n"
    "Decodes an MPEG-1/MPEG-2 Layer III file and writes a RIFF WAV file: two channels, 16-bit,\n"
    "at the first frame's sample rate (a single-channel stream is heard on both).\n"
    "\n"
    "  --float    write 32-bit float instead: the synthesis output before conversion to\n"
    "             16 bits, divided by 32767 (full scale 1.0)\n"
    "  --kernels  print the vector width the decoder runs here (portable, avx2 or avx512f;\n"
    "             SONAVIX_LANES=portable|avx2 in the environment caps it)\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written, 2 for bad usage.\n";

// Where the frame loop's 16-bit blocks go: to the file, or nowhere when the float samples are
// recorded instead.
class WavSink : public mplay::PcmSink {
  public:
    explicit WavSink(WavWriter* writer) : m_writer(writer), m_buffer(mplay::kPcmBufferValues) {}

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = mplay::kPcmBlockValues;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        if (m_writer) {
            m_writer->WritePcm16(m_buffer.data(), count);
        }
        count = 0;
        return m_buffer.data();
    }

  private:
    WavWriter* m_writer;
    std::vector<int16_t> m_buffer;
};

// The synthesis output per channel in order of delivery. A plain callback has no context, so
// the recording is process-wide; the tool decodes one file.
std::vector<float> g_recorded[2];

int32_t RecordSample(double* sample, double* levels, int32_t n) {
    if (sample) {
        g_recorded[n & 1].push_back(static_cast<float>(*sample / 32767.0));
    }
    return mplay::SampleToPcm(sample, levels, n);
}

bool WriteRecording(WavWriter& writer) {
    const std::vector<float>& left = g_recorded[0];
    const std::vector<float>& right = g_recorded[1].empty() ? left : g_recorded[1];
    const size_t frames = std::max(left.size(), right.size());
    std::vector<float> pairs(2 * frames, 0.0f);
    for (size_t i = 0; i < frames; ++i) {
        pairs[2 * i] = i < left.size() ? left[i] : 0.0f;
        pairs[2 * i + 1] = i < right.size() ? right[i] : 0.0f;
    }
    return writer.WriteFloat32(pairs.data(), pairs.size());
}

// Asks for the buffer's whole 2 MB pages to be mapped as such where the system has them: each
// first touch of a page costs a fault, and in a virtual machine 2400 faults of small pages for a
// 10-minute file cost a tenth as much time as decoding it. Only advice: nothing fails without it.
void AdviseHugePages(void* buffer, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const auto start = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (start + bytes) & ~(kHuge - 1);
    if (first < end) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#else
    (void)buffer;
    (void)bytes;
#endif
}

// In blocks: a character at a time would cost as much as decoding a tenth of the file.
bool ReadFile(const std::string& path, std::vector<uint8_t>& data) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        return false;
    }
    data.clear();
    // Room for the whole file at once: grown block by block, the bytes would be copied and new
    // pages touched at every doubling (for a 10-minute file, 6700 page faults and 20 MB instead
    // of 2700 and 13 MB). A file that changes meanwhile is still read to its end.
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size <= std::numeric_limits<uint32_t>::max()) {
        data.reserve(static_cast<size_t>(size));
        AdviseHugePages(data.data(), data.capacity());
    }
    uint8_t block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        data.insert(data.end(), block, block + got);
    }
    const bool ok = !std::ferror(in);
    std::fclose(in);
    return ok;
}

int Fail(const std::string& what, const std::string& path) {
    std::fprintf(stderr, "sonavix-decode: cannot %s %s: %s\n", what.c_str(), path.c_str(),
                 errno ? std::strerror(errno) : "error");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    bool asFloat = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            sonavix::PrintToolVersion("sonavix-decode");
            return 0;
        }
        if (arg == "--kernels") {
            std::printf("%s (%d doubles per vector)\n", mplay::DecoderWidthName(),
                        mplay::DecoderWidthLanes());
            return 0;
        }
        if (arg == "--float") {
            asFloat = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "sonavix-decode: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& inPath = paths[0];
    const std::string& outPath = paths[1];

    errno = 0;
    std::vector<uint8_t> data;
    if (!ReadFile(inPath, data)) {
        return Fail("read", inPath);
    }
    if (data.size() > std::numeric_limits<uint32_t>::max()) {
        errno = EFBIG;
        return Fail("read", inPath);
    }

    mplay::MpegStream stream;
    const bool opened = stream.OpenMemory(data.data(), static_cast<uint32_t>(data.size()));
    // No frame found: an empty file at a common rate.
    const uint32_t rate =
        opened && stream.HasPlayableFrame() ? stream.GetSampleRate() : kFallbackRate;

    WavWriter writer;
    errno = 0;
    if (!writer.Open(outPath, asFloat ? WavWriter::Format::Float32 : WavWriter::Format::Pcm16, 2,
                     rate)) {
        return Fail("write", outPath);
    }
    if (opened) {
        WavSink sink(asFloat ? nullptr : &writer);
        mplay::RunFrameLoop(stream, sink, nullptr, asFloat ? RecordSample : nullptr);
        stream.Close();
    }
    if (asFloat) {
        WriteRecording(writer);
    }
    errno = 0;
    if (!writer.Finish()) {
        return Fail("write", outPath);
    }
    return 0;
}
