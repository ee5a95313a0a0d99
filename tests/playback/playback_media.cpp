#include "playback_media.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PcmSink.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <unistd.h>

namespace sonavix::test {
namespace {

class MemorySink final : public mplay::PcmSink {
  public:
    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = mplay::kPcmBlockValues;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        pcm.insert(pcm.end(), m_buffer.begin(), m_buffer.begin() + count);
        count = 0;
        return m_buffer.data();
    }

    std::vector<int16_t> pcm;

  private:
    std::vector<int16_t> m_buffer = std::vector<int16_t>(mplay::kPcmBufferValues);
};

} // namespace

std::string MakeToneRecording(double seconds, uint32_t rate, int channels) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("sonavix-playback-" + std::to_string(getuid()));
    fs::create_directories(dir);
    const std::string stem = "tone-" + std::to_string(static_cast<int>(seconds * 1000)) + "ms-" +
                             std::to_string(rate) + "-" + std::to_string(channels);
    const fs::path mp3 = dir / (stem + ".mp3");
    if (fs::exists(mp3)) {
        return mp3.string();
    }
    const fs::path wav = dir / (stem + "." + std::to_string(getpid()) + ".wav");
    const fs::path part = dir / (stem + "." + std::to_string(getpid()) + ".mp3");
    const std::string command =
        "sox -R -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " '" +
        wav.string() + "' synth " + std::to_string(seconds) + " sine 440 sine 1250 gain -6 && " +
        "lame --quiet --noreplaygain -b 128 '" + wav.string() + "' '" + part.string() + "'";
    const bool made = std::system(command.c_str()) == 0;
    std::error_code ignored;
    fs::remove(wav, ignored);
    // Renamed into place whole, so that a test running beside this one never reads half a file.
    if (made) {
        fs::rename(part, mp3, ignored);
    }
    if (!made || ignored) {
        fs::remove(part, ignored);
        return {};
    }
    return mp3.string();
}

std::vector<int16_t> DecodeToPcm(const std::vector<uint8_t>& mp3) {
    auto stream = std::make_unique<mplay::MpegStream>();
    MemorySink sink;
    if (stream->OpenMemory(mp3.data(), static_cast<uint32_t>(mp3.size()))) {
        mplay::RunFrameLoop(*stream, sink);
    }
    return sink.pcm;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Correlation(std::span<const int16_t> a, std::span<const int16_t> b) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

} // namespace sonavix::test
