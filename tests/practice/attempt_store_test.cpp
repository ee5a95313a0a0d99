// The learner's attempts on disk: newest first, at most 20 per item, nothing outside the store.
#include "practice/AttemptStore.h"

#include "speech/WavFile.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using sonavix::practice::AttemptStore;
using sonavix::practice::ItemKey;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir() : root(MakeTempDir("attempts")) {}
    ~TempDir() { fs::remove_all(root); }
    fs::path path() const { return root; }
    fs::path root;
};

sonavix::speech::Sound Tone(size_t n) {
    sonavix::speech::Sound s;
    s.rate = 16000;
    s.samples.assign(n, 0.25f);
    return s;
}

} // namespace

TEST(AttemptStore, KeepsTheNewestTwentyNewestFirstAndLeavesStrangersAlone) {
    TempDir dir;
    AttemptStore store((dir.path() / "attempts").string());
    EXPECT_TRUE(store.List("7").empty()); // no folder yet
    std::string path, error;
    for (int i = 0; i < 23; ++i)
        ASSERT_TRUE(store.Save("7", Tone(100 + i), 1000, path, error)) << error;
    std::ofstream(dir.path() / "attempts" / "7" / "notes.txt") << "mine";
    const auto kept = store.List("7");
    ASSERT_EQ(kept.size(), AttemptStore::kPerItem);
    // All in one millisecond: each took the next name, and the oldest three went.
    const auto newest = sonavix::speech::ReadWavFile(kept.front());
    ASSERT_TRUE(newest.ok);
    EXPECT_EQ(newest.sound.samples.size(), 122u);
    EXPECT_EQ(sonavix::speech::ReadWavFile(kept.back()).sound.samples.size(), 103u);
    for (const auto& entry : fs::directory_iterator(dir.path() / "attempts" / "7"))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);

    ASSERT_TRUE(store.Save("7-sheep", Tone(10), 5, path, error));
    EXPECT_TRUE(store.DeleteAll());
    EXPECT_TRUE(store.List("7").empty());
    EXPECT_TRUE(store.List("7-sheep").empty());
    EXPECT_TRUE(fs::exists(dir.path() / "attempts" / "7" / "notes.txt"));
}

TEST(AttemptStore, ItemsCannotNameAPathOutsideAndAnUnwritableRootFails) {
    EXPECT_EQ(ItemKey("12-cake"), "12-cake");
    EXPECT_EQ(ItemKey("../../x"), "_2E_2E_2F_2E_2E_2Fx");
    EXPECT_EQ(ItemKey(""), "_");
    TempDir dir;
    AttemptStore store((dir.path() / "attempts").string());
    std::string path, error;
    ASSERT_TRUE(store.Save("../escape", Tone(10), 1, path, error));
    EXPECT_EQ(fs::path(path).parent_path().parent_path(), dir.path() / "attempts");

    AttemptStore nowhere("/proc/sonavix-attempts");
    EXPECT_FALSE(nowhere.Save("1", Tone(10), 1, path, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(path.empty());
}
