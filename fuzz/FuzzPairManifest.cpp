// libFuzzer entry over the pair-content reader: arbitrary bytes as assets/pairs/manifest.json.
// Whatever it accepts must hold only references that resolve and file names that stay inside
// the content directory; a breach aborts so that the fuzzer reports it.
#include "pairs/PairManifest.h"

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
    for (const auto& [text, word] : manifest->words) {
        for (const auto& rec : word.recordings) {
            if (rec.file.empty() || rec.file.front() == '/' ||
                rec.file.find("..") != std::string::npos) {
                std::abort();
            }
        }
    }
    return 0;
}
