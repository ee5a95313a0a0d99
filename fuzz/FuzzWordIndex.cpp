// libFuzzer entry over the word index reader: arbitrary bytes as an example recording's index.
#include "practice/WordIndex.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<sonavix::WordSpan> spans;
    if (sonavix::ParseWordIndex(std::string_view(reinterpret_cast<const char*>(data), size),
                                spans)) {
        for (const sonavix::WordSpan& span : spans)
            if (span.word.empty() || !(span.start < span.end))
                std::abort();
    }
    return 0;
}
