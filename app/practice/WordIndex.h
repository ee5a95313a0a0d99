#pragma once
// The word index beside an example recording (pho/n-n.json): the words it says, in order, and
// the seconds where each starts and ends. Qt-free so that it can be fuzzed.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sonavix {

struct WordSpan {
    std::string word;
    double start = 0.0, end = 0.0; // s, start < end
};

// Files larger than this are refused: an index holds a dozen words.
inline constexpr std::size_t kMaxWordIndexBytes = 64u << 10;
inline constexpr std::size_t kMaxWordSpans = 64;

// False on anything but an object whose "words" is an array of {"word", "start", "end"} with
// finite times, start < end, and at most kMaxWordSpans entries.
bool ParseWordIndex(std::string_view text, std::vector<WordSpan>& spans);
bool ReadWordIndexFile(const std::string& path, std::vector<WordSpan>& spans);

} // namespace sonavix
