// The decoder's exact output, pinned: the 16-bit and float output of sonavix-decode for the
// conformance streams, the fuzzing seeds and every lesson recording, as digests made before its
// hot paths were vectorised. Whatever vector width a processor or build picks (sanitizer builds
// take the portable code), the bits must be these.
//   SONAVIX_WRITE_GOLDEN=1 tests/golden_test   rewrites the list, for a change of output that
//                                               is meant
#include "decode_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavix::test;

namespace {

const std::string kGoldenFile = std::string(SONAVIX_SOURCE_DIR) + "/tests/accuracy/golden_pcm.txt";

// An input as the list names it: "shared/..." below the shared data, anything else below the
// source tree.
std::string PathOf(const std::string& name) {
    if (name.rfind("shared/", 0) == 0) {
        return std::string(SONAVIX_SHARED_DIR) + name.substr(6);
    }
    return std::string(SONAVIX_SOURCE_DIR) + "/" + name;
}

std::vector<std::string> Inputs() {
    std::vector<std::string> names;
    const auto add = [&](const std::string& root, const std::string& prefix, const char* dir,
                         const char* extension) {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(root + "/" + dir)) {
            const std::string file = entry.path().filename().string();
            if (!extension || entry.path().extension() == extension) {
                found.push_back(prefix + dir + "/" + file);
            }
        }
        std::sort(found.begin(), found.end());
        names.insert(names.end(), found.begin(), found.end());
    };
    add(SONAVIX_SHARED_DIR, "shared/", "iso-vectors/mpeg1", ".bit");
    add(SONAVIX_SHARED_DIR, "shared/", "iso-vectors/mpeg2", ".bit");
    add(SONAVIX_SOURCE_DIR, "", "fuzz/corpus/decoder", nullptr);
    add(SONAVIX_SOURCE_DIR, "", "assets/pho", ".mp3");
    return names;
}

// FNV-1a over the samples' bytes: enough to tell any change of any bit.
std::string Digest(const WavData& wav) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (double sample : wav.samples) {
        unsigned char bytes[sizeof sample];
        std::memcpy(bytes, &sample, sizeof sample);
        for (unsigned char b : bytes) {
            hash = (hash ^ b) * 0x100000001b3ull;
        }
    }
    char text[40];
    std::snprintf(text, sizeof text, "%016llx/%zu", static_cast<unsigned long long>(hash),
                  wav.samples.size());
    return text;
}

std::string DigestsOf(const std::string& name) {
    WavData asFloat;
    WavData as16;
    const int floatStatus = DecodeWithTool(PathOf(name), true, asFloat);
    const int status16 = DecodeWithTool(PathOf(name), false, as16);
    if (floatStatus != 0 || status16 != 0) {
        return "failed";
    }
    return Digest(asFloat) + " " + Digest(as16);
}

} // namespace

TEST(Golden, EveryInputDecodesToItsPinnedBits) {
    if (std::getenv("SONAVIX_WRITE_GOLDEN")) {
        std::ofstream out(kGoldenFile);
        for (const std::string& name : Inputs()) {
            out << DigestsOf(name) << " " << name << "\n";
        }
        GTEST_SKIP() << "wrote " << kGoldenFile;
    }
    std::ifstream in(kGoldenFile);
    ASSERT_TRUE(in) << kGoldenFile;
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string floatDigest, digest16, name;
        ASSERT_TRUE(fields >> floatDigest >> digest16 >> name) << line;
        EXPECT_EQ(DigestsOf(name), floatDigest + " " + digest16) << name;
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(Inputs().size())) << "inputs added or removed";
}
