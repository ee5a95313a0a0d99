#pragma once
// The minimal-pair content: contrasts, their pairs of words, and each word's recordings by
// voice, read from assets/pairs/manifest.json. Whatever the file holds, reading it either gives
// content whose every reference resolves or an error; nothing in it can name a file outside the
// content directory.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonavix::pairs {

struct Recording {
    std::string voice;
    std::string file; // relative to the content directory: voices/VOICE/WORD.mp3
    double duration = 0;
    double peakDbfs = 0;
    double rmsDbfs = 0;
};

struct Word {
    std::string text;
    std::string codes;  // symbol codes, space-separated; joined they are what the symbol font draws
    std::string phones; // the recogniser's phones
    std::string gloss;  // Chinese
    std::vector<Recording> recordings;

    const Recording* In(std::string_view voice) const;
};

struct Pair {
    std::string a, b;
    std::vector<std::string> voices; // voices in which both words may be played
};

struct Contrast {
    std::string id;
    std::string soundA, soundB; // symbol codes; soundB empty for a dropped final consonant
    std::string title;          // IPA, for display
    std::string gloss;          // Chinese note
    std::vector<Pair> pairs;
};

struct Manifest {
    int format = 0;
    std::vector<std::string> voices;
    std::vector<Contrast> contrasts;
    std::map<std::string, Word, std::less<>> words;

    const Word* Find(std::string_view word) const;
    const Contrast* FindContrast(std::string_view id) const;
};

constexpr int kManifestFormat = 1;

std::optional<Manifest> ParseManifest(std::string_view text, std::string* error);
std::optional<Manifest> LoadManifest(const std::filesystem::path& path, std::string* error);

// Adds the voice directories under contentDir/voices that the manifest does not list (recordings
// of real speakers dropped in later): every WORD.mp3 there becomes a recording of that word, and
// a pair gains the voice when both of its words are there. Returns the voices added.
std::vector<std::string> AddFoundVoices(Manifest& manifest,
                                        const std::filesystem::path& contentDir);

// A name fit to be a file name component: 1-64 of [a-z0-9_-.'], not starting with '.'.
bool IsSafeName(std::string_view name);

} // namespace sonavix::pairs
