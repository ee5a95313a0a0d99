#pragma once
// The MP3 files made at test time (fixture test_media) and small file helpers.
#include <cstdint>
#include <string>
#include <vector>

namespace sonavix::test {

struct MediaFile {
    std::string name; // without .mp3
    std::string path;
    uint32_t rate = 0;
    std::string mode;         // mono, stereo, joint, dual
    uint32_t bitrateKbps = 0; // 0 for VBR
    bool crc = false;
    bool vbr = false;
    bool infoFrame = false; // a leading encoder Info/Xing frame, not counted by ffprobe
    std::string signal;
};

// Reads ${SONAVIX_TEST_MEDIA_DIR}/manifest.tsv; empty when it is missing.
std::vector<MediaFile> LoadTestMedia();

std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);

} // namespace sonavix::test
