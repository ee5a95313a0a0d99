// WAV files: round trip, the formats recorders and other programs write, and damaged bytes.
#include "speech/WavFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace sonavix {
namespace {

speech::Sound Ramp(std::size_t n) {
    speech::Sound s;
    s.rate = 22050;
    for (std::size_t i = 0; i < n; ++i) {
        s.samples.push_back(static_cast<float>(static_cast<int>(i % 2001) - 1000) / 1000.0f);
    }
    return s;
}

std::vector<uint8_t> Header(uint16_t tag, uint16_t channels, uint16_t bits, uint32_t dataBytes) {
    speech::Sound empty;
    empty.rate = 8000;
    std::vector<uint8_t> b = speech::EncodeWav16(empty);
    b[20] = static_cast<uint8_t>(tag);
    b[21] = static_cast<uint8_t>(tag >> 8);
    b[22] = static_cast<uint8_t>(channels);
    b[34] = static_cast<uint8_t>(bits);
    std::memcpy(&b[40], &dataBytes, 4);
    return b;
}

TEST(WavFile, RoundTripsSixteenBitMonoWithClipping) {
    speech::Sound s = Ramp(5000);
    s.samples[0] = 3.0f;
    s.samples[1] = -3.0f;
    const speech::WavReadResult r = speech::ReadWav(speech::EncodeWav16(s));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.sound.rate, 22050);
    ASSERT_EQ(r.sound.samples.size(), s.samples.size());
    EXPECT_FLOAT_EQ(r.sound.samples[0], 32767.0f / 32768.0f);
    EXPECT_FLOAT_EQ(r.sound.samples[1], -1.0f);
    for (std::size_t i = 2; i < s.samples.size(); ++i) {
        ASSERT_NEAR(r.sound.samples[i], s.samples[i], 1.0 / 32768) << i;
    }
}

TEST(WavFile, ReadsStereoFloatAndOtherChunksAndATruncatedDataChunk) {
    // Stereo float after an extra chunk of odd length: averaged to mono.
    std::vector<uint8_t> b = Header(3, 2, 32, 16);
    const uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    b.insert(b.begin() + 36, list, list + sizeof list);
    const float values[] = {0.5f, -0.25f, 1.0f, 1.0f};
    const auto* p = reinterpret_cast<const uint8_t*>(values);
    b.insert(b.end(), p, p + sizeof values);
    speech::WavReadResult r = speech::ReadWav(b);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.sound.samples.size(), 2u);
    EXPECT_FLOAT_EQ(r.sound.samples[0], 0.125f);
    EXPECT_FLOAT_EQ(r.sound.samples[1], 1.0f);

    // A recording cut short: the data chunk claims more than there is.
    std::vector<uint8_t> cut = speech::EncodeWav16(Ramp(1000));
    cut.resize(44 + 301);
    r = speech::ReadWav(cut);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.sound.samples.size(), 150u);
}

TEST(WavFile, RefusesWhatItCannotRead) {
    const std::vector<uint8_t> none;
    EXPECT_FALSE(speech::ReadWav(none).ok);
    const std::string text = "RIFF\x10\0\0\0WAVEjunk";
    EXPECT_FALSE(speech::ReadWav({reinterpret_cast<const uint8_t*>(text.data()), text.size()}).ok);
    EXPECT_FALSE(speech::ReadWav(Header(1, 1, 12, 0)).ok); // 12-bit
    EXPECT_FALSE(speech::ReadWav(Header(1, 0, 16, 0)).ok); // no channels
    EXPECT_FALSE(speech::ReadWav(Header(2, 1, 16, 0)).ok); // ADPCM
    std::vector<uint8_t> hugeChunk = Header(1, 1, 16, 0);
    hugeChunk[16] = hugeChunk[17] = hugeChunk[18] = hugeChunk[19] = 0xFF; // fmt claims 4 GiB
    EXPECT_FALSE(speech::ReadWav(hugeChunk).ok);
}

TEST(WavFile, WritesAtomicallyAndRefusesMissingAndHugeFiles) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("speech_wav_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "attempt.wav").string();
    ASSERT_TRUE(speech::WriteWavFileAtomic(path, Ramp(100)));
    ASSERT_TRUE(speech::WriteWavFileAtomic(path, Ramp(300)));
    const speech::WavReadResult r = speech::ReadWavFile(path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.sound.samples.size(), 300u);
    // Only the finished file is left, no temporary beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_FALSE(speech::WriteWavFileAtomic((dir / "no" / "such.wav").string(), Ramp(10)));
    EXPECT_FALSE(speech::ReadWavFile((dir / "missing.wav").string()).ok);

    const std::string huge = (dir / "huge.wav").string();
    std::filesystem::copy_file(path, huge);
    std::filesystem::resize_file(huge, speech::kMaxWavFileBytes + 1);
    EXPECT_EQ(speech::ReadWavFile(huge).error, "file too large");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace sonavix
