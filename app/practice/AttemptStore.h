#pragma once
// The learner's recordings of each practice item, kept as WAV files under the learner's data
// directory (attempts/<item>/<time>.wav): the newest kPerItem of each item stay, older ones are
// removed as a new one arrives. A file is written under a temporary name and renamed, so a crash
// or a full disk leaves no half file. Qt-free.
#include "speech/Sound.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonavix::practice {

class AttemptStore {
  public:
    static constexpr std::size_t kPerItem = 20;

    // root is the folder that holds a folder per item; it is made when the first attempt is kept.
    explicit AttemptStore(std::string root) : m_root(std::move(root)) {}

    // The item's files, newest first. Files that do not look like ours are left out.
    std::vector<std::string> List(const std::string& item) const;
    // Keeps sound as the item's newest attempt and removes those beyond kPerItem. nowMs names
    // the file, or the millisecond after the newest one when that is later. On failure
    // returns false with the reason in error (English, for the log) and leaves nothing behind.
    bool Save(const std::string& item, const speech::Sound& sound, std::int64_t nowMs,
              std::string& path, std::string& error) const;
    // Removes every attempt of every item; false when some could not be removed.
    bool DeleteAll() const;

    const std::string& Root() const { return m_root; }

  private:
    std::string ItemDir(const std::string& item) const;

    std::string m_root;
};

// The folder name of an item: ASCII letters, digits and '-' stay, every other byte becomes
// "_XX" in hex, so that no item can name a path outside the store.
std::string ItemKey(const std::string& item);

} // namespace sonavix::practice
