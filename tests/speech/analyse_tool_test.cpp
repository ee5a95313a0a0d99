// sonavix-analyse end to end: an MP3 lesson recording through the frame loop, a WAV file, and
// the exit status on usage errors and on bytes that are no recording.
#include "synth_voice.h"

#include "speech/WavFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace sonavix {
namespace {

const std::string kTool = std::string(SONAVIX_BIN_DIR) + "/sonavix-analyse";

int RunTool(const std::string& args, std::string& out) {
    out.clear();
    std::FILE* p = ::popen(("'" + kTool + "' " + args + " 2>/dev/null").c_str(), "r");
    if (!p) {
        return -1;
    }
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) {
        out += buf;
    }
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(AnalyseTool, MeasuresAnMp3AndAWavFile) {
    std::string out;
    const std::string mp3 = std::string(SONAVIX_SOURCE_DIR) + "/assets/pho/13.mp3"; // a diphthong
    ASSERT_EQ(RunTool("--json '" + mp3 + "'", out), 0);
    EXPECT_NE(out.find("\"speech\": true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"segments\": [\n  {"), std::string::npos) << out;

    const auto wav = std::filesystem::temp_directory_path() /
                     ("speech_tool_" + std::to_string(::getpid()) + ".wav");
    test::VowelSpec v;
    v.f0 = 125;
    speech::Sound s = test::Concat(test::Noise(0.3, 1e-4, v.rate, 4), test::SynthVowel(v));
    ASSERT_TRUE(speech::WriteWavFileAtomic(wav.string(), s));
    ASSERT_EQ(RunTool("'" + wav.string() + "'", out), 0);
    EXPECT_NE(out.find("F0: median 125.0 Hz"), std::string::npos) << out;
    EXPECT_NE(out.find("speech: 0.3"), std::string::npos) << out;
    std::filesystem::remove(wav);
}

TEST(AnalyseTool, ExitStatusForUsageAndForFilesThatAreNoRecording) {
    std::string out;
    EXPECT_EQ(RunTool("--help", out), 0);
    EXPECT_EQ(RunTool("--version", out), 0);
    EXPECT_NE(out.find("sonavix-analyse"), std::string::npos);
    EXPECT_EQ(RunTool("", out), 2);
    EXPECT_EQ(RunTool("--voice robot x.wav", out), 2);
    EXPECT_EQ(RunTool("/no/such/file.wav", out), 1);
    const auto junk =
        std::filesystem::temp_directory_path() / ("speech_junk_" + std::to_string(::getpid()));
    std::ofstream(junk) << std::string(3000, '\xff'); // endless sync words, no frame
    EXPECT_EQ(RunTool("'" + junk.string() + "'", out), 1);
    std::ofstream(junk, std::ios::trunc) << "RIFF\x04\0\0\0WAVE";
    EXPECT_EQ(RunTool("'" + junk.string() + "'", out), 1);
    std::filesystem::remove(junk);
}

} // namespace
} // namespace sonavix
