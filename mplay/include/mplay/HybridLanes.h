#pragma once
// The hybrid synthesis of many subbands at once, at the widest vectors the processor has.
#include <cstdint>
#include <vector>

namespace mplay {

// For each listed subband sb (0..31, each at most once): the IMDCT of lines[18 sb ...] with
// blockType's window (2: short), of which the first half plus overlap[18 sb ...] replaces the
// lines and the second half becomes the new overlap. Exactly the bits of Imdct, at every width.
using SubbandTransform = void (*)(double* lines, double* overlap, const int32_t* subbands,
                                  int count, int blockType);

struct SubbandTransformVariant {
    const char* name;
    SubbandTransform transform;
};

// The widths this processor runs, narrowest (portable) first.
const std::vector<SubbandTransformVariant>& SubbandTransformVariants();
// The widest; what Hybrid uses.
SubbandTransform ChosenSubbandTransform();

} // namespace mplay
