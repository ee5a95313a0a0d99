#include "test_media.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sonavix::test {

std::vector<MediaFile> LoadTestMedia() {
    const std::string dir = SONAVIX_TEST_MEDIA_DIR;
    std::ifstream in(dir + "/manifest.tsv");
    std::vector<MediaFile> files;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        MediaFile f;
        int crc = 0, vbr = 0, info = 0;
        if (fields >> f.name >> f.rate >> f.mode >> f.bitrateKbps >> crc >> vbr >> info >>
            f.signal) {
            f.path = dir + "/" + f.name + ".mp3";
            f.crc = crc != 0;
            f.vbr = vbr != 0;
            f.infoFrame = info != 0;
            files.push_back(f);
        }
    }
    return files;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    pclose(pipe);
    return output;
}

} // namespace sonavix::test
