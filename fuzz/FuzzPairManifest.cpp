// libFuzzer entry over the pair-content reader: arbitrary bytes as assets/pairs/manifest.json.
// Whatever it accepts must hold only references that resolve and file names that stay inside
// the content directory; a breach aborts so that the fuzzer reports it.
#include "pairs/PairManifest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto manifest = sonavix::pairs::ParseManifest(text, &error);
    if (!manifest) {
        return 0;
    }
    for (const auto& contrast : manifest->contrasts) {
        for (const auto& pair : contrast.pairs) {
            const auto* a = manifest->Find(pair.a);
            const auto* b = manifest->Find(pair.b);
            if (!a || !b) {
                std::abort();
            }
            for (const auto& voice : pair.voices) {
                if (!a->In(voice) || !b->In(voice)) {
                    std::abort();
                }
            }
        }
    }
    // Inside means no absolute path and no "." or ".." step; "se..mp3" is a name like any other.
    for (const auto& [text, word] : manifest->words) {
        for (const auto& rec : word.recordings) {
            if (rec.file.empty() || rec.file.front() == '/')
                std::abort();
            for (size_t start = 0; start <= rec.file.size();) {
                const size_t slash = std::min(rec.file.find('/', start), rec.file.size());
                const std::string_view step(rec.file.data() + start, slash - start);
                if (step.empty() || step == "." || step == "..")
                    std::abort();
                start = slash + 1;
            }
        }
    }
    return 0;
}
