// Damaged recordings on every path the program decodes them by: the frame loop in memory, the
// sonavix-decode tool and the playback worker. Each must end in bounded time, keep its writes
// inside the device buffer, decode the same bytes to the same sound every time, and still play
// whatever undamaged frames there are.
#include "malformed_inputs.h"
#include "scripted_device.h"

#include "mplay/FrameLoop.h"
#include "mplay/MpegStream.h"
#include "mplay/PlayThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using namespace sonavix::hardening;
namespace fs = std::filesystem;

// Generous for a sanitizer build on a busy machine; a hang is what it catches.
constexpr double kSecondsPerFile = 20.0;

// The device buffer as the player sizes it: capacity plus the spare one frame may overrun by.
class CollectingSink final : public mplay::PcmSink {
  public:
    static constexpr uint32_t kCapacity = 163840;
    static constexpr uint32_t kSpare = 10000;

    int16_t* GetBuffer(uint32_t& capacity) override {
        capacity = kCapacity;
        return m_buffer.data();
    }
    int16_t* Write(uint32_t& count) override {
        if (count > m_buffer.size()) {
            overrun = true;
            count = static_cast<uint32_t>(m_buffer.size());
        }
        pcm.insert(pcm.end(), m_buffer.begin(), m_buffer.begin() + count);
        count = 0;
        return m_buffer.data();
    }

    std::vector<int16_t> pcm;
    bool overrun = false;

  private:
    std::vector<int16_t> m_buffer = std::vector<int16_t>(kCapacity + kSpare);
};

struct Decoded {
    bool opened = false;
    std::vector<int16_t> pcm;
    double seconds = 0;
};

// memcmp wants real pointers even for zero bytes, and an empty vector may have none.
bool SameBytes(const Bytes& bytes, const std::vector<int16_t>& pcm) {
    return bytes.size() == pcm.size() * 2 &&
           (bytes.empty() || std::memcmp(bytes.data(), pcm.data(), bytes.size()) == 0);
}

Decoded Decode(const Bytes& bytes) {
    const auto start = std::chrono::steady_clock::now();
    Decoded out;
    // An exact-size copy, so that a sanitizer build sees any read past the end.
    std::vector<uint8_t> exact(bytes);
    mplay::MpegStream stream;
    out.opened = stream.OpenMemory(exact.data(), static_cast<uint32_t>(exact.size()));
    if (out.opened) {
        CollectingSink sink;
        mplay::RunFrameLoop(stream, sink);
        EXPECT_FALSE(sink.overrun) << "the decoder wrote past the device buffer";
        out.pcm = std::move(sink.pcm);
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(out.seconds, kSecondsPerFile);
    return out;
}

std::string Vector(const char* name) {
    return std::string(SONAVIX_SHARED_DIR) + "/iso-vectors/" + name;
}
std::string Seed(const char* name) {
    return std::string(SONAVIX_SOURCE_DIR) + "/fuzz/corpus/decoder/" + name;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(HopelessRecordings, GiveSilenceAndNoCrash) {
    EXPECT_FALSE(Decode({}).opened);
    for (const Bytes& bytes : {Filled(65536, 0x00), Filled(65536, 0xFF), Filled(3, 0xFF)}) {
        const Decoded d = Decode(bytes);
        EXPECT_TRUE(d.pcm.empty());
    }
    // A lone reserved-layer header: no bitrate row, so no body length, so no frame.
    Bytes reserved = {0xFF, 0xF9, 0x90, 0x00};
    reserved.resize(2000, 0x55);
    EXPECT_TRUE(Decode(reserved).pcm.empty());
}

TEST(HopelessRecordings, RandomBytesDecodeTheSameEveryTime) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const Bytes bytes = Random(65536, seed);
        const Decoded first = Decode(bytes);
        const Decoded second = Decode(bytes);
        EXPECT_EQ(first.pcm, second.pcm) << "seed " << seed;
    }
}

TEST(OtherLayers, LayerIAndIIFramesAreNotPlayedButDoNotStopLayerIII) {
    const Bytes layer2 = ReadBytes(Seed("m1_44k_layer2.mp2"));
    ASSERT_FALSE(layer2.empty());
    EXPECT_TRUE(Decode(layer2).pcm.empty());

    // Layer I headers over noise bodies.
    Bytes layer1;
    for (uint32_t i = 0; i < 20; ++i) {
        const Bytes frame = Concat({0xFF, 0xFF, 0x90, 0x00}, Random(936, i));
        layer1 = Concat(layer1, frame);
    }
    EXPECT_TRUE(Decode(layer1).pcm.empty());

    // Layer II frames of the same rate and mode after a Layer III recording change nothing.
    const Bytes layer3 = ReadBytes(Seed("m1_44k_dual_id3.mp3"));
    ASSERT_FALSE(layer3.empty());
    const Decoded alone = Decode(layer3);
    ASSERT_FALSE(alone.pcm.empty());
    EXPECT_EQ(Decode(Concat(layer3, layer2)).pcm, alone.pcm);
}

struct BaseStream {
    const char* label;
    std::string path;
};
void PrintTo(const BaseStream& s, std::ostream* os) {
    *os << s.path;
}

class DamagedStream : public ::testing::TestWithParam<BaseStream> {
  protected:
    void SetUp() override {
        original = ReadBytes(GetParam().path);
        ASSERT_FALSE(original.empty()) << GetParam().path;
        whole = Decode(original);
        ASSERT_FALSE(whole.pcm.empty());
    }
    Bytes original;
    Decoded whole;
};

TEST_P(DamagedStream, CutShortPlaysExactlyTheFramesBeforeTheCut) {
    for (const auto& input : MalformedFrom(GetParam().label, original)) {
        if (input.name.find(".cut_") == std::string::npos)
            continue;
        SCOPED_TRACE(input.name);
        const Decoded cut = Decode(input.bytes);
        ASSERT_FALSE(cut.pcm.empty());
        ASSERT_LT(cut.pcm.size(), whole.pcm.size());
        EXPECT_TRUE(std::equal(cut.pcm.begin(), cut.pcm.end(), whole.pcm.begin()));
    }
}

TEST_P(DamagedStream, DamageDecodesSafelyAndTheSameEveryTime) {
    for (const auto& input : MalformedFrom(GetParam().label, original)) {
        SCOPED_TRACE(input.name);
        const Decoded first = Decode(input.bytes);
        const Decoded second = Decode(input.bytes);
        EXPECT_EQ(first.pcm, second.pcm);
        if (input.name.size() > 16 &&
            input.name.compare(input.name.size() - 16, 16, ".huge_big_values") == 0) {
            // Decoded on, not dropped: every frame still yields its samples.
            EXPECT_EQ(first.pcm.size(), whole.pcm.size());
        }
    }
}

// The tool and the worker see the same bytes as the frame loop: both must give its exact output.
class RealPaths : public DamagedStream {
  protected:
    fs::path Write(const std::string& name, const Bytes& bytes) {
        const fs::path dir =
            fs::temp_directory_path() / ("sonavix-hardening-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const fs::path path = dir / (name + ".mp3");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        written.push_back(path);
        return path;
    }
    void TearDown() override {
        std::error_code ec;
        if (!written.empty())
            fs::remove_all(written.front().parent_path(), ec);
    }
    std::vector<MalformedInput> Inputs() {
        std::vector<MalformedInput> inputs = MalformedFrom(GetParam().label, original);
        inputs.push_back({"empty", {}});
        inputs.push_back({"zeros", Filled(20000, 0)});
        inputs.push_back({"random", Random(20000, 7)});
        return inputs;
    }
    std::vector<fs::path> written;
};

// PCM bytes of the WAV file's data chunk.
Bytes WavData(const fs::path& path) {
    const Bytes wav = ReadBytes(path.string());
    size_t pos = 12;
    while (pos + 8 <= wav.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wav.data() + pos + 4, 4);
        if (std::memcmp(wav.data() + pos, "data", 4) == 0)
            return Bytes(wav.begin() + long(pos + 8),
                         wav.begin() + long(std::min<size_t>(wav.size(), pos + 8 + size)));
        pos += 8 + size + (size & 1);
    }
    return {};
}

TEST_P(RealPaths, TheDecodeToolWritesWhatTheFrameLoopDecodes) {
    const std::string tool = std::string(SONAVIX_BIN_DIR) + "/sonavix-decode";
    if (!fs::exists(tool))
        GTEST_SKIP() << "sonavix-decode not built";
    for (const auto& input : Inputs()) {
        SCOPED_TRACE(input.name);
        const fs::path in = Write(input.name, input.bytes);
        const fs::path out = in.string() + ".wav";
        const std::string command = "timeout " + std::to_string(int(kSecondsPerFile)) + " '" +
                                    tool + "' '" + in.string() + "' '" + out.string() + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << "killed by a signal";
        ASSERT_EQ(WEXITSTATUS(status), 0) << "exit status (124 = hung)";
        const Decoded d = Decode(input.bytes);
        const Bytes data = WavData(out);
        ASSERT_EQ(data.size(), d.pcm.size() * 2);
        EXPECT_TRUE(SameBytes(data, d.pcm));
    }
}

TEST_P(RealPaths, TheWorkerPlaysWhatTheFrameLoopDecodes) {
    for (const auto& input : Inputs()) {
        SCOPED_TRACE(input.name);
        const fs::path path = Write(input.name, input.bytes);
        sonavix::test::ScriptedDevice device;
        mplay::g_bRepeat = 0;
        const auto start = std::chrono::steady_clock::now();
        mplay::PlayThreadProc(new std::string(path.string()));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  kSecondsPerFile);
        const Decoded d = Decode(input.bytes);
        const Bytes played = device.PlayedBytes();
        ASSERT_EQ(played.size(), d.pcm.size() * 2);
        EXPECT_TRUE(SameBytes(played, d.pcm));
    }
}

const BaseStream kStreams[] = {
    {"compl", Vector("mpeg1/compl.bit")},     {"hecommon", Vector("mpeg1/hecommon.bit")},
    {"si_huff", Vector("mpeg1/si_huff.bit")}, {"m2_noise", Vector("mpeg2/M2L3_noise.bit")},
    {"m2_mono", Seed("m2_22k_mono.mp3")},     {"joint_crc", Seed("m1_48k_joint_crc.mp3")},
};
std::string Name(const ::testing::TestParamInfo<BaseStream>& info) {
    return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(Streams, DamagedStream, ::testing::ValuesIn(kStreams), Name);
INSTANTIATE_TEST_SUITE_P(Streams, RealPaths, ::testing::Values(kStreams[0], kStreams[4]), Name);

} // namespace
